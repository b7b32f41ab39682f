// The settings file: the line readers, LoadConfig over hand-edited files, the
// exact text SaveConfig writes and round trips. (Files of every odd shape are
// replayed from tests/corpus; failed saves are tried with the other ways
// data can be lost.)
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "settings/settings.h"

namespace {

namespace fs = std::filesystem;

// ---- The line readers on single lines ----

TEST(ReadString, FindsTheKeyAndTakesTheValueAfterTheFirstEquals) {
  struct Row {
    const char* line;
    int taken;
    const char* value;
  };
  const Row rows[] = {
      {"LAST_PLAYED_FILE = kick.wav\n", 1, "kick.wav"},
      {"LAST_PLAYED_FILE=kick.wav", 1, "kick.wav"},
      {"LAST_PLAYED_FILE = \"my kick.wav\"\n", 1, "my kick.wav"},
      {"LAST_PLAYED_FILE = \" ' \"  tom.wav\n", 1, "tom.wav"},  // any mix is skipped
      {"LAST_PLAYED_FILE = a b  \n", 1, "a b  "},                // inner and trailing blanks kept
      {"LAST_PLAYED_FILE = a\tb\n", 1, "a"},
      {"LAST_PLAYED_FILE =\tkick.wav\n", 1, ""},
      {"LAST_PLAYED_FILE =", 1, ""},
      {"LAST_PLAYED_FILE = it's.wav", 1, "it"},
      {"LAST_PLAYED_FILE = a=b", 1, "a=b"},
      {"old LAST_PLAYED_FILE was = x.wav", 1, "x.wav"},
      {"LAST_PLAYED_FILE = \x80\xFF", 1, "\x80\xFF"},
      {"LAST_PLAYED_FILE kick.wav", 0, "old"},
      {"= LAST_PLAYED_FILE kick.wav", 0, "old"},
  };
  for (const Row& r : rows) {
    char var[128] = "old";
    std::string line = r.line;
    EXPECT_EQ(ReadString(var, &line[0], "LAST_PLAYED_FILE", sizeof var), r.taken) << r.line;
    EXPECT_STREQ(var, r.value) << r.line;
  }
}

TEST(ReadString, StoresAtMostOneCharacterLessThanTheBuffer) {
  for (size_t n : {127, 128, 300}) {
    const std::string value(n, 'v');
    std::string line = "LAST_PLAYED_FILE = " + value + "\n";
    char var[128];
    ASSERT_EQ(ReadString(var, &line[0], "LAST_PLAYED_FILE", sizeof var), 1);
    EXPECT_EQ(std::string(var), value.substr(0, 127)) << n;
  }
  // A buffer of exactly maxlen bytes on the heap, so a write past it is caught.
  std::vector<char> small(8, 'x');
  std::string line = "KEY = 0123456789";
  ASSERT_EQ(ReadString(small.data(), &line[0], "KEY", (int)small.size()), 1);
  EXPECT_STREQ(small.data(), "0123456");
}

TEST(ReadNumbers, ScanTheDecimalIntegerAfterTheEquals) {
  struct Row {
    const char* line;
    int taken, value;  // value after the read, from a previous value of 42
  };
  const Row rows[] = {
      {"MU_LAW = 0\n", 1, 0},
      {"MU_LAW=7", 1, 7},
      {"MU_LAW =   -3\n", 1, -3},
      {"MU_LAW = +5", 1, 5},
      {"MU_LAW =\t \t12\n", 1, 12},
      {"MU_LAW = 12abc", 1, 12},
      {"MU_LAW = 0x10", 1, 0},
      {"MU_LAW = 2147483647", 1, 2147483647},
      {"MU_LAW = -2147483648", 1, -2147483647 - 1},
      {"MU_LAW = off", 1, 42},  // taken, but no number: the value stays
      {"MU_LAW = -", 1, 42},
      {"MU_LAW = = 3", 1, 42},
      {"MU_LAW = 2147483648", 1, 42},
      {"MU_LAW = -2147483649", 1, 42},
      {"MU_LAW = 99999999999999999999", 1, 42},
  };
  for (const Row& r : rows) {
    std::string line = r.line;
    int i = 42;
    EXPECT_EQ(ReadInteger(&line[0], "MU_LAW", &i), r.taken) << r.line;
    EXPECT_EQ(i, r.value) << r.line;
    int32_t l = 42;
    EXPECT_EQ(ReadLong(&line[0], "MU_LAW", &l), r.taken) << r.line;
    EXPECT_EQ(l, r.value) << r.line;
  }
}

// ---- Whole files ----

// Every setting in one line: the last played file, then mu_law, invert,
// pad_first_two_bytes, autoscale, rom_size_index, eightbit and sample_rate.
std::string Settings() {
  char text[300];
  snprintf(text, sizeof text, "%s|%d|%d|%d|%d|%d|%d|%.1f", last_played_file, mu_law, invert,
           pad_first_two_bytes, autoscale, rom_size_index, eightbit, sample_rate);
  return text;
}

void Set(const char* last, int mu, int inv, int pad, int autos, int rom, int eight, double rate) {
  snprintf(last_played_file, sizeof last_played_file, "%s", last);
  mu_law = mu;
  invert = inv;
  pad_first_two_bytes = pad;
  autoscale = autos;
  rom_size_index = rom;
  eightbit = eight;
  sample_rate = rate;
}

const char kDefaults[] = "|1|0|1|0|1|0|24000.0";

bool WriteFile(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
  return fclose(f) == 0 && ok;
}

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "(missing)";
  for (int c; (c = fgetc(f)) != EOF;) text += (char)c;
  fclose(f);
  return text;
}

class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    HeadlessReset();
    std::string pattern = (fs::temp_directory_path() / "quorix-settings-XXXXXX").string();
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
    dir = pattern;
    path = dir + "/quorix.ini";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    ResetSettings();
    HeadlessReset();
  }
  std::string dir, path;
};

TEST_F(ConfigFile, LoadingTakesEachRecognisedLine) {
  const struct {
    const char* what;
    std::string text, settings;
  } rows[] = {
      {"every key",
       "LAST_PLAYED_FILE = kick.wav\nMU_LAW = 0\nINVERT = 1\nPAD_FIRST_TWO_BYTES = 0\n"
       "AUTOSCALE = 1\nROM_SIZE_INDEX = 3\nEIGHTBIT = 1\nSAMPLE_RATE = 31250\n",
       "kick.wav|0|1|0|1|3|1|31250.0"},
      {"keys are case-sensitive", "mu_law = 0\nSample_Rate = 8000\n", kDefaults},
      {"key in a comment", "# MU_LAW was off = 0 here\n", "|0|0|1|0|1|0|24000.0"},
      {"earlier key in the order wins", "INVERT MU_LAW = 5\n", "|5|0|1|0|1|0|24000.0"},
      {"string key first", "LAST_PLAYED_FILE MU_LAW = 0\n", "0|1|0|1|0|1|0|24000.0"},
      {"rate key last", "SAMPLE_RATE EIGHTBIT = 1\n", "|1|0|1|0|1|1|24000.0"},
      {"a key without a number keeps the line", "MU_LAW = off INVERT = 1\n", kDefaults},
      {"the last line decides", "MU_LAW = 0\nMU_LAW = 3\nSAMPLE_RATE = 1\nSAMPLE_RATE = 2\n",
       "|3|0|1|0|1|0|2.0"},
      {"unchecked values", "MU_LAW = 7\nEIGHTBIT = -9\n", "|7|0|1|0|1|-9|24000.0"},
      {"fractional rate", "SAMPLE_RATE = 24000.7\n", kDefaults},
      {"CRLF lines", "LAST_PLAYED_FILE = \"C:\\drums\\kick.wav\"\r\nSAMPLE_RATE = 22050\r\nEIGHTBIT = 1\r\n",
       "C:\\drums\\kick.wav|1|0|1|0|1|1|22050.0"},
  };
  for (const auto& r : rows) {
    ResetSettings();
    ASSERT_TRUE(WriteFile(path, r.text));
    LoadConfig(path.c_str());
    EXPECT_EQ(Settings(), r.settings) << r.what;
    EXPECT_EQ(config_edit, 0) << r.what;
  }
}

TEST_F(ConfigFile, NothingReadKeepsEverySetting) {
  Set("snare.wav", 0, 1, 0, 1, 2, 1, 8000.0);
  const std::string before = Settings();
  config_edit = 1;
  LoadConfig(path.c_str());  // no file yet
  EXPECT_EQ(Settings(), before);
  EXPECT_EQ(config_edit, 1);

  ASSERT_TRUE(WriteFile(path, "MU_LAW = 1\nSAMPLE_RATE = 24000\n"));
  HeadlessFailAllocations(0, 1);  // no line buffer
  LoadConfig(path.c_str());
  EXPECT_EQ(Settings(), before);
}

TEST_F(ConfigFile, SaveWritesExactlyTheseLines) {
  Set("drums/kick 1.wav", 0, 1, 0, 1, 3, -2, 31250.4);
  config_edit = 1;
  SaveConfig(path.c_str());
  EXPECT_EQ(config_edit, 0);
  EXPECT_EQ(ReadFile(path),
            "* Automatically generated configuration file for QUORIX\n"
            "\n"
            "LAST_PLAYED_FILE = drums/kick 1.wav\n"
            "MU_LAW = 0\n"
            "INVERT = 1\n"
            "PAD_FIRST_TWO_BYTES = 0\n"
            "AUTOSCALE = 1\n"
            "ROM_SIZE_INDEX = 3\n"
            "EIGHTBIT = -2\n"
            "SAMPLE_RATE =    31250\n");
}

TEST_F(ConfigFile, SaveThenLoadRestoresTheSettings) {
  Set("samples/J\xC3\xB6rg kick #2.wav", 0, 1, 0, 1, -4, 1, 24000.6);
  config_edit = 1;
  SaveConfig(path.c_str());
  ResetSettings();
  LoadConfig(path.c_str());
  EXPECT_EQ(Settings(), "samples/J\xC3\xB6rg kick #2.wav|0|1|0|1|-4|1|24001.0");

  // A name of the full 127 characters survives too.
  const std::string longest(127, 'k');
  snprintf(last_played_file, sizeof last_played_file, "%s", longest.c_str());
  config_edit = 1;
  SaveConfig(path.c_str());
  last_played_file[0] = 0;
  LoadConfig(path.c_str());
  EXPECT_EQ(last_played_file, longest);
}

}  // namespace
