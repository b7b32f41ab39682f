// The settings file: loading hand-edited files, the exact text saved, its path.
#include <stdio.h>

#include "settings/settings.h"
#include "test_util.h"

namespace {

// last_played_file|mu_law|invert|pad_first_two_bytes|autoscale|rom_size_index|eightbit|sample_rate
std::string Settings() {
  char text[300];
  snprintf(text, sizeof text, "%s|%d|%d|%d|%d|%d|%d|%.1f", last_played_file, mu_law, invert, pad_first_two_bytes,
           autoscale, rom_size_index, eightbit, sample_rate);
  return text;
}

const std::string kDefaults = "|1|0|1|0|1|0|24000.0";

class ConfigFile : public EngineTest {
 protected:
  std::string Saved(void) {
    config_edit = 1;
    SaveConfig(Path("quorix.ini").c_str());
    EXPECT_EQ(config_edit, 0);
    Bytes b = ReadBytes(Path("quorix.ini"));
    return std::string(b.begin(), b.end());
  }
};

// A line goes to the first key it holds with an '=' after it; a number that
// is missing or does not fit 32 bits leaves the setting as it was.
TEST_F(ConfigFile, LoadingTakesEachRecognisedLine) {
  const std::string spaces(1014, ' ');
  const struct {
    const char* what;
    std::string text, settings;
  } rows[] = {
      {"every key",
       "LAST_PLAYED_FILE = kick.wav\nMU_LAW = 0\nINVERT = 1\nPAD_FIRST_TWO_BYTES = 0\n"
       "AUTOSCALE = 1\nROM_SIZE_INDEX = 3\nEIGHTBIT = 1\nSAMPLE_RATE = 31250\n",
       "kick.wav|0|1|0|1|3|1|31250.0"},
      {"keys are case-sensitive", "mu_law = 0\nSample_Rate = 8000\n", kDefaults},
      {"earlier key in the order wins", "INVERT MU_LAW = 5\n", "|5|0|1|0|1|0|24000.0"},
      {"string key first", "LAST_PLAYED_FILE MU_LAW = 0\n", "0|1|0|1|0|1|0|24000.0"},
      {"rate key last", "SAMPLE_RATE EIGHTBIT = 1\n", "|1|0|1|0|1|1|24000.0"},
      {"a key without a number keeps the line", "MU_LAW = off INVERT = 1\n", kDefaults},
      {"the last line decides, with or without its line end",
       "MU_LAW = 0\nMU_LAW = 3\nSAMPLE_RATE = 1\nSAMPLE_RATE = 2",
       "|3|0|1|0|1|0|2.0"},
      {"unchecked values", "MU_LAW = 7\nEIGHTBIT = -9\nSAMPLE_RATE = 8000.7\n", "|7|0|1|0|1|-9|8000.0"},
      {"numbers that fit",
       "MU_LAW =\t \t-3\nINVERT = +5\nPAD_FIRST_TWO_BYTES = 12abc\nAUTOSCALE = 0x10\nROM_SIZE_INDEX = 2147483647\n"
       "EIGHTBIT = -2147483648\n",
       "|-3|5|12|0|2147483647|-2147483648|24000.0"},
      {"numbers that do not", "MU_LAW = -\nINVERT = = 3\nAUTOSCALE = 2147483648\nROM_SIZE_INDEX = -2147483649\n"
       "EIGHTBIT = 99999999999999999999\nSAMPLE_RATE = 4294991296\n", kDefaults},
      {"CRLF lines", "LAST_PLAYED_FILE = \"C:\\drums\\kick.wav\"\r\nSAMPLE_RATE = 22050\r\nEIGHTBIT = 1\r\n",
       "C:\\drums\\kick.wav|1|0|1|0|1|1|22050.0"},
      // Read in pieces of 1023 characters: a number in the second is not seen.
      {"line of 1023 characters", "MU_LAW =" + spaces + "0\n", "|0|0|1|0|1|0|24000.0"},
      {"line of 1024 characters", "MU_LAW = " + spaces + "0\n", kDefaults},
      // A name starts after blanks and quotes, ends at a quote or a control character.
      {"name in quotes", "LAST_PLAYED_FILE = \" ' \"my kick 1  \tb\n", "my kick 1  " + kDefaults},
      {"name with a quote", "LAST_PLAYED_FILE = it's.wav\n", "it" + kDefaults},
      {"name with an equals sign", "LAST_PLAYED_FILE = a=b\n", "a=b" + kDefaults},
      {"name in another code page", "LAST_PLAYED_FILE = \x80\xFF\n", "\x80\xFF" + kDefaults},
      {"tab before the name", "LAST_PLAYED_FILE =\tkick.wav\n", kDefaults},
      {"equals sign before the key", "LAST_PLAYED_FILE = x\n= LAST_PLAYED_FILE kick.wav\n", "x" + kDefaults},
      {"name longer than 127 characters", "LAST_PLAYED_FILE = " + std::string(300, 'k'),
       std::string(127, 'k') + kDefaults},
  };
  for (const auto& r : rows) {
    ResetSettings();
    ASSERT_TRUE(WriteBytes(Path("quorix.ini"), Text(r.text)));
    LoadConfig(Path("quorix.ini").c_str());
    EXPECT_EQ(Settings(), r.settings) << r.what;
    EXPECT_EQ(config_edit, 0) << r.what;
  }
}

TEST_F(ConfigFile, NothingReadKeepsEverySetting) {
  strcpy(last_played_file, "snare.wav");
  config_edit = 1;
  const std::string before = Settings();
  LoadConfig(Path("quorix.ini").c_str());  // no file yet
  EXPECT_EQ(Settings(), before);
  EXPECT_EQ(config_edit, 1);
  ASSERT_TRUE(WriteBytes(Path("quorix.ini"), Text("MU_LAW = 0\n")));
  HeadlessFailAllocations(0, 1);  // no line buffer
  LoadConfig(Path("quorix.ini").c_str());
  EXPECT_EQ(Settings(), before);
}

TEST_F(ConfigFile, SaveWritesExactlyTheseLinesAndReadsThemBack) {
  const std::string head = "* Automatically generated configuration file for QUORIX\n\n";
  EXPECT_EQ(Saved(), head + "MU_LAW = 1\nINVERT = 0\nPAD_FIRST_TWO_BYTES = 1\nAUTOSCALE = 0\nROM_SIZE_INDEX = 1\n"
                            "EIGHTBIT = 0\nSAMPLE_RATE =    24000\n");
  const std::string name = "samples/J\xC3\xB6rg kick #2.wav";
  strcpy(last_played_file, name.c_str());
  mu_law = 0, invert = 1, pad_first_two_bytes = 0, autoscale = 1, rom_size_index = -4, eightbit = 1;
  sample_rate = 24000.6;
  EXPECT_EQ(Saved(), head + "LAST_PLAYED_FILE = " + name +
                         "\nMU_LAW = 0\nINVERT = 1\nPAD_FIRST_TWO_BYTES = 0\nAUTOSCALE = 1\nROM_SIZE_INDEX = -4\n"
                         "EIGHTBIT = 1\nSAMPLE_RATE =    24001\n");
  ResetSettings();
  LoadConfig(Path("quorix.ini").c_str());
  EXPECT_EQ(Settings(), name + "|0|1|0|1|-4|1|24001.0");
  const std::string longest(127, 'k');
  strcpy(last_played_file, longest.c_str());
  Saved();
  last_played_file[0] = 0;
  LoadConfig(Path("quorix.ini").c_str());
  EXPECT_EQ(last_played_file, longest);
}

// An empty folder, or one too long for a name of 127 characters, is refused.
TEST(ConfigPath, JoinsTheFolderAndTheFileNameWithOneSlash) {
  const std::string d116(116, 'd');
  const struct {
    std::string dir, name;
  } cases[] = {
      {"C:\\SOUNDS", "C:/SOUNDS/quorix.ini"}, {"C:/SOUNDS/", "C:/SOUNDS/quorix.ini"},
      {"\\\\server\\share\\", "//server/share/quorix.ini"},
      {d116, d116 + "/quorix.ini"},           {"", "untouched"},
      {d116 + "d", "untouched"},              {d116 + "d/", "untouched"},
  };
  for (const auto& c : cases) {
    int done = -1;
    EXPECT_EQ(Guarded("untouched", [&](char* n) { done = ComposeConfigPath(n, c.dir.c_str()); }), c.name);
    EXPECT_EQ(done, c.name != "untouched") << c.dir;
  }
}

}  // namespace
