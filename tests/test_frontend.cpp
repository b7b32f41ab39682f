// The desktop front end's own logic: the extension test, the proposed output
// name, the extension rules after the save dialog, the rate text of the rate
// dialog, the About text and the configuration file's name.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "app/frontend.h"
#include "convert/wav.h"
#include "settings/settings.h"

namespace {

// A name buffer followed by bytes that must survive every call: nothing may
// be written past the 128 bytes of a name.
struct GuardedName {
  char name[NAME_SIZE];
  char guard[16];
};

void Fill(GuardedName* g, const std::string& text) {
  memset(g, 0x5A, sizeof *g);
  ASSERT_LT(text.size(), sizeof g->name);
  strcpy(g->name, text.c_str());
}

bool GuardIntact(const GuardedName& g) {
  for (char c : g.guard)
    if (c != 0x5A) return false;
  return true;
}

TEST(Extension, PointsAtThreeLettersAfterADotOrAtTheWholeName) {
  const struct {
    const char* name;
    long offset;  // where the result points, from the start of the name
  } cases[] = {
      {"C:\\DATA\\KICK.BIN", 13}, {"a.wav", 2}, {".wav", 0},  {"a.wa", 0},
      {"OUT.wave", 0},            {"OUT", 0},   {"x.y.bin", 4}, {"C:\\MY.DIR\\KICK", 0},
  };
  for (const auto& c : cases) {
    char buf[NAME_SIZE];
    strcpy(buf, c.name);
    EXPECT_EQ(extension(buf) - buf, c.offset) << c.name;
  }
}

TEST(ProposeOutputName, CutsAtTheFirstDotOfThePathAndAppends) {
  const std::string long_name = "C:\\" + std::string(124, 'k');  // 127 characters
  const struct {
    std::string chosen;
    const char* ext;
    std::string proposed;
  } cases[] = {
      {"C:\\DATA\\KICK.BIN", ".wav", "C:\\DATA\\KICK.wav"},
      {"C:\\MY.DIR\\KICK.BIN", ".wav", "C:\\MY.wav"},
      {"C:\\DATA\\KICK", ".wav", "C:\\DATA\\KICK.wav"},
      {"C:\\SOUNDS\\snare.old.wav", ".bin", "C:\\SOUNDS\\snare.bin"},
      {".hidden", ".bin", ".bin"},
      // Too long for the extension: shortened at its end to make room.
      {long_name.substr(0, 123), ".wav", long_name.substr(0, 123) + ".wav"},
      {long_name.substr(0, 124), ".wav", long_name.substr(0, 123) + ".wav"},
      {long_name, ".bin", long_name.substr(0, 123) + ".bin"},
  };
  for (const auto& c : cases) {
    GuardedName g;
    Fill(&g, c.chosen);
    ProposeOutputName(g.name, c.ext);
    EXPECT_EQ(g.name, c.proposed) << c.chosen;
    EXPECT_TRUE(GuardIntact(g));
  }
}

TEST(AppendExtension, AddsTheExtensionUnlessTheNameHasItInAnyCase) {
  const std::string n123(123, 'n'), n124(124, 'n');
  const struct {
    std::string typed;
    const char* ext3;
    int done;
    std::string result;
  } cases[] = {
      {"Z:\\OUT", "wav", 1, "Z:\\OUT.wav"},         {"Z:\\OUT.Wav", "wav", 1, "Z:\\OUT.Wav"},
      {"Z:\\OUT.bin", "wav", 1, "Z:\\OUT.bin.wav"}, {"Z:\\OUT.wave", "wav", 1, "Z:\\OUT.wave.wav"},
      {"Z:\\OUT.BIN", "bin", 1, "Z:\\OUT.BIN"},     {"Z:\\OUT.bi", "bin", 1, "Z:\\OUT.bi.bin"},
      {"Z:\\OUTwav", "wav", 1, "Z:\\OUTwav.wav"},
      // A name with no room for the extension is refused and left alone,
      // unless it already has it.
      {n123, "wav", 1, n123 + ".wav"},              {n124, "wav", 0, n124},
      {n123 + ".WAV", "wav", 1, n123 + ".WAV"},
  };
  for (const auto& c : cases) {
    GuardedName g;
    Fill(&g, c.typed);
    EXPECT_EQ(AppendExtension(g.name, c.ext3), c.done) << c.typed;
    EXPECT_EQ(g.name, c.result) << c.typed;
    EXPECT_TRUE(GuardIntact(g));
  }
}

TEST(RateText, ShowsTheRateWithTwoDecimalsInEightCharacters) {
  const struct {
    double rate;
    const char* text;
  } cases[] = {{24000.0, "24000.00"},     {8000.0, " 8000.00"},  {11025.123, "11025.12"},
               {-1.0, "   -1.00"}, {2147483647.0, "2147483647.00"}};
  for (const auto& c : cases) {
    char text[EDITSTR_SIZE];
    FormatRateText(text, sizeof text, c.rate);
    EXPECT_STREQ(text, c.text) << c.rate;
  }
  char text[EDITSTR_SIZE + 8];
  memset(text, 0x5A, sizeof text);
  FormatRateText(text, EDITSTR_SIZE, 1e300);
  EXPECT_EQ(strlen(text), (size_t)EDITSTR_SIZE - 1);
  for (size_t i = EDITSTR_SIZE; i < sizeof text; i++) EXPECT_EQ(text[i], 0x5A);
}

TEST(RateText, ReadsBackLikeAtofWithinTheHeadersRange) {
  const struct {
    const char* text;
    int accepted;
    double rate;
  } cases[] = {
      {" 8000.00", 1, 8000.0},   {"8000.555", 1, 8000.555},       {"abc", 1, 0.0},
      {"22050Hz", 1, 22050.0},   {"4.41E+4", 1, 44100.0},         {"-5", 1, -5.0},
      {"2147483647.99", 1, 2147483647.99},
      {"2147483648", 0, 0},      {"-2147483648", 0, 0},           {"1e400", 0, 0},
  };
  for (const auto& c : cases) {
    double rate = 12345.0;
    EXPECT_EQ(ReadRateText(c.text, &rate), c.accepted) << c.text;
    EXPECT_DOUBLE_EQ(rate, c.accepted ? c.rate : 12345.0) << c.text;
  }
}

TEST(AboutText, IsTheCaptionCreditsVersionAndConfigurationFile) {
  char text[8000];
  FormatAboutText(text, sizeof text, "C:/SOUNDS/quorix.ini");
  EXPECT_STREQ(text,
               "Waveform conversion program\n"
               "\n"
               "Drum voices between WAV files and EPROM images, for the\n"
               "Oberheim DMX and for drum machines with linear samples.\n"
               "\n"
               "Version 1.02\n"
               "Configuration file = C:/SOUNDS/quorix.ini\n");
}

// The directory and the file name with one '/'; an empty directory, or one
// too long for a name of 127 characters, is refused without writing.
TEST(ConfigPath, JoinsTheDirectoryAndTheFileNameWithOneSlash) {
  const std::string d116(116, 'd');
  const struct {
    std::string dir, name;
  } cases[] = {
      {"C:\\SOUNDS", "C:/SOUNDS/quorix.ini"},     {"C:\\SOUNDS\\", "C:/SOUNDS/quorix.ini"},
      {"C:/SOUNDS/", "C:/SOUNDS/quorix.ini"},     {"C:\\A\\B/C", "C:/A/B/C/quorix.ini"},
      {"\\\\server\\share", "//server/share/quorix.ini"},
      {d116, d116 + "/quorix.ini"},               {d116 + "\\", d116 + "/quorix.ini"},
      {"", "untouched"},                          {d116 + "d", "untouched"},
      {d116 + "d/", "untouched"},                 {std::string(400, 'd'), "untouched"},
  };
  for (const auto& c : cases) {
    GuardedName g;
    Fill(&g, "untouched");
    EXPECT_EQ(ComposeConfigPath(g.name, c.dir.c_str()), c.name != "untouched") << c.dir;
    EXPECT_EQ(g.name, c.name);
    EXPECT_TRUE(GuardIntact(g));
  }
}

// The name as the program builds it at start-up: from QUORIX_PATH, else the
// working directory, else the bare name (the variable and the working
// directory are put back afterwards).
TEST(ConfigPath, FromTheVariableElseTheWorkingDirectoryElseTheBareName) {
  const char* old_env = getenv("QUORIX_PATH");
  const std::string saved_env = old_env ? old_env : "";
  char old_cwd[4096], name[NAME_SIZE], cwd[4096];
  ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
  const struct {
    std::string env, name;
  } cases[] = {{"C:\\SOUNDS\\", "C:/SOUNDS/quorix.ini"},
               {"", "quorix.ini"},
               {std::string(300, 'd'), "quorix.ini"}};
  for (const auto& c : cases) {
    setenv("QUORIX_PATH", c.env.c_str(), 1);
    BuildConfigPath(name);
    EXPECT_EQ(name, c.name) << c.env;
  }

  unsetenv("QUORIX_PATH");
  char dir[] = "/tmp/quorix-cfgXXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  ASSERT_EQ(chdir(dir), 0);
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  BuildConfigPath(name);
  EXPECT_EQ(std::string(name), std::string(cwd) + "/quorix.ini");
  // A working directory beyond 119 characters is not fetched at all.
  const std::string sub(60, 's'), deep = std::string(cwd) + "/" + sub + "/" + sub;
  ASSERT_EQ(mkdir((std::string(cwd) + "/" + sub).c_str(), 0700), 0);
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  ASSERT_EQ(chdir(deep.c_str()), 0);
  BuildConfigPath(name);
  EXPECT_STREQ(name, "quorix.ini");

  ASSERT_EQ(chdir(old_cwd), 0);
  rmdir(deep.c_str());
  rmdir((std::string(cwd) + "/" + sub).c_str());
  rmdir(dir);
  if (old_env) setenv("QUORIX_PATH", saved_env.c_str(), 1);
}

}  // namespace
