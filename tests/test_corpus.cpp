// Replays the regression corpus of malformed files (tests/corpus/, written
// by scripts/make_corpus.py) through the real entry points.
//
// wav/NAME.wav is converted to an image with the default settings
// (automatic scaling when the name holds ".autoscale"); the whole report
// must read as NAME.log, with {input} and {output} standing for the two file
// names, and the image must hold the bytes of NAME.img (nothing when there
// is no such file). ini/NAME.ini is loaded over the built-in settings and
// saved at once; the saved file must read as NAME.out, and loading and
// saving that again must give the same file.
#include <dirent.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const std::string kCorpus = std::string(QUORIX_SOURCE_DIR) + "/tests/corpus/";

void Replace(std::string* s, const std::string& from, const std::string& to) {
  size_t at = s->find(from);
  if (at != std::string::npos) s->replace(at, from.size(), to);
}

// The stems of the corpus files of one kind, sorted.
std::vector<std::string> Stems(const char* kind, const char* ext) {
  std::vector<std::string> stems;
  std::string dir = kCorpus + kind;
  DIR* d = opendir(dir.c_str());
  if (!d) return stems;
  size_t ext_len = strlen(ext);
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name.size() > ext_len && name.compare(name.size() - ext_len, ext_len, ext) == 0)
      stems.push_back(name.substr(0, name.size() - ext_len));
  }
  closedir(d);
  std::sort(stems.begin(), stems.end());
  return stems;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param;
  for (char& c : name)
    if (!isalnum((unsigned char)c)) c = '_';
  return name;
}

// A private directory with short names, so no report line depends on where
// the build tree lies.
class CorpusFiles : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir();
    ASSERT_FALSE(dir_.empty());
    ResetSettings();
    MyWindow = NULL;
    EraseTextBuffer();
  }
  void TearDown() override {
    RemoveTree(dir_);
    EraseTextBuffer();
    ReleaseTextBuffer();
    ResetSettings();
  }
  std::string dir_;
};

using WavCorpus = CorpusFiles;
using IniCorpus = CorpusFiles;

TEST(Corpus, IsThere) {
  EXPECT_GT(Stems("wav", ".wav").size(), 90u);
  EXPECT_GT(Stems("ini", ".ini").size(), 15u);
}

TEST_P(WavCorpus, ReportAndImage) {
  const std::string base = kCorpus + "wav/" + GetParam();
  std::string wav, log, expected_image;
  ASSERT_TRUE(ReadFileText(base + ".wav", &wav));
  ASSERT_TRUE(ReadFileText(base + ".log", &log));
  if (!ReadFileText(base + ".img", &expected_image)) expected_image.clear();

  const std::string in = dir_ + "/in.wav", out = dir_ + "/out.bin";
  ASSERT_TRUE(WriteFileText(in, wav));
  ASSERT_LT(out.size(), (size_t)NAME_SIZE);
  strcpy(dmxfilename, in.c_str());
  strcpy(output_filename, out.c_str());
  autoscale = GetParam().find(".autoscale") != std::string::npos;

  uint32_t result = ConvertWAVToDMX();

  std::vector<std::string> expected = SplitLines(log);
  for (std::string& line : expected) {
    Replace(&line, "{input}", in);
    Replace(&line, "{output}", out);
  }
  std::vector<std::string> got(textline, textline + textlines);
  EXPECT_EQ(got, expected);

  bool finished = !expected.empty() && expected.back() == "Finished.";
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(conversion_outcome, finished ? OUTCOME_FINISHED : OUTCOME_REJECTED);

  std::string image, after;
  ASSERT_TRUE(ReadFileText(out, &image));
  EXPECT_EQ(image, expected_image);
  ASSERT_TRUE(ReadFileText(in, &after));
  EXPECT_EQ(after, wav) << "the input was changed";
}

INSTANTIATE_TEST_SUITE_P(Files, WavCorpus, testing::ValuesIn(Stems("wav", ".wav")), TestName);

TEST_P(IniCorpus, LoadThenSave) {
  const std::string base = kCorpus + "ini/" + GetParam();
  std::string ini, expected;
  ASSERT_TRUE(ReadFileText(base + ".ini", &ini));
  ASSERT_TRUE(ReadFileText(base + ".out", &expected));

  const std::string path = dir_ + "/quorix.ini";
  ASSERT_LT(path.size() + 4, (size_t)NAME_SIZE);
  ASSERT_TRUE(WriteFileText(path, ini));
  memset(last_played_file, 'x', NAME_SIZE);  // so a missing terminator shows
  last_played_file[0] = 0;
  LoadConfig(path.c_str());
  EXPECT_NE(memchr(last_played_file, 0, NAME_SIZE), nullptr);
  EXPECT_EQ(config_edit, 0);

  config_edit = 1;
  SaveConfig(path.c_str());
  EXPECT_EQ(config_edit, 0);
  EXPECT_NE(access((path + ".new").c_str(), F_OK), 0) << "temporary file left behind";
  std::string saved;
  ASSERT_TRUE(ReadFileText(path, &saved));
  EXPECT_EQ(saved, expected);

  // What the program wrote, it reads back to the same settings.
  ResetSettings();
  LoadConfig(path.c_str());
  config_edit = 1;
  SaveConfig(path.c_str());
  std::string again;
  ASSERT_TRUE(ReadFileText(path, &again));
  EXPECT_EQ(again, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, IniCorpus, testing::ValuesIn(Stems("ini", ".ini")), TestName);

}  // namespace
