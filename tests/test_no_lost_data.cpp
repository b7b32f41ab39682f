// No lost data and no false success: an output that cannot be written whole
// is reported and never called finished; an input is never written over,
// whatever names lead to it; a read error is not taken for the end of the
// file; the settings file is replaced whole or not at all; and a conversion
// writes no more samples than its header announced, even from an input
// that never ends.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "convert/convert.h"
#include "platform/platform.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const std::string kValidWav =
    std::string(QUORIX_SOURCE_DIR) + "/tests/corpus/wav/valid-16bit-mono.wav";

bool Reported(const std::string& line) {
  for (int i = 0; i < textlines; i++)
    if (line == textline[i]) return true;
  return false;
}

class NoLostData : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir();
    ASSERT_FALSE(dir_.empty());
    ResetSettings();
    HeadlessReset();
    MyWindow = NULL;
    play_after_conversion = 1;
    EraseTextBuffer();
    ASSERT_TRUE(ReadFileText(kValidWav, &wav_));
  }
  void TearDown() override {
    RemoveTree(dir_);
    EraseTextBuffer();
    ReleaseTextBuffer();
    ResetSettings();
    HeadlessReset();
  }
  std::string Path(const char* name) { return dir_ + "/" + name; }
  void SetNames(const std::string& in, const std::string& out) {
    ASSERT_LT(in.size(), (size_t)NAME_SIZE);
    ASSERT_LT(out.size(), (size_t)NAME_SIZE);
    strcpy(dmxfilename, in.c_str());
    strcpy(output_filename, out.c_str());
  }
  // Runs the converter with QUORIX_PATH at our directory and returns its
  // exit status; its report lands in `*out`.
  int RunCli(const std::string& args, std::string* out) {
    std::string report = Path("cli-report.txt");
    std::string cmd = "QUORIX_PATH='" + dir_ + "' '" QUORIX_CLI "' " + args + " >'" + report + "'";
    int status = system(cmd.c_str());
    EXPECT_TRUE(ReadFileText(report, out));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string dir_;
  std::string wav_;
};

// A device that refuses every write, as a full disk does: with a few bytes
// the failure shows when the file is closed, with many while writing.
TEST_F(NoLostData, ImageThatCannotBeWrittenIsNotFinished) {
  for (size_t frames : {4u, 100000u}) {
    SCOPED_TRACE(frames);
    std::string wav = wav_;
    if (frames > 4) {
      // The same file with a data chunk of `frames` silent 16-bit frames.
      wav.resize(40);
      uint32_t size = (uint32_t)frames * 2;
      for (int i = 0; i < 4; i++) wav.push_back((char)(size >> (8 * i)));
      wav.append(size, '\0');
    }
    ASSERT_TRUE(WriteFileText(Path("in.wav"), wav));
    SetNames(Path("in.wav"), "/dev/full");
    EraseTextBuffer();
    EXPECT_EQ(ConvertWAVToDMX(), 1u);
    EXPECT_EQ(conversion_outcome, OUTCOME_WRITE_FAILED);
    std::vector<std::string> report = ReportLog();
    ASSERT_GE(report.size(), 2u);
    EXPECT_EQ(report[report.size() - 2], "Unexpected end of file.");
    EXPECT_EQ(report.back(), "Unable to write the whole output file: /dev/full");
    EXPECT_FALSE(Reported("Finished."));
  }
}

TEST_F(NoLostData, WavThatCannotBeWrittenIsNotFinishedNorPlayed) {
  for (size_t length : {10u, 100000u}) {
    SCOPED_TRACE(length);
    ASSERT_TRUE(WriteFileText(Path("in.bin"), std::string(length, '\x80')));
    SetNames(Path("in.bin"), "/dev/full");
    EraseTextBuffer();
    EXPECT_EQ(ConvertDMXtoWAV(), 1u);
    EXPECT_EQ(conversion_outcome, OUTCOME_WRITE_FAILED);
    std::vector<std::string> expected = {
        "Input file: " + Path("in.bin"),
        "Output file: /dev/full",
        "Input file length = " + std::to_string(length),
        "Sample rate = 24000 Hz, duration = " +
            std::string(length == 10 ? "0.000" : "4.167") + " seconds",
        "Unable to write the whole output file: /dev/full"};
    EXPECT_EQ(ReportLog(), expected);
    EXPECT_EQ(HeadlessSoundCount(), 0);
    EXPECT_STREQ(last_played_file, "");
    EXPECT_EQ(config_edit, 0);
  }
}

TEST_F(NoLostData, ConverterExitsWithFailureWhenTheOutputIsLost) {
  ASSERT_TRUE(WriteFileText(Path("in.wav"), wav_));
  ASSERT_TRUE(WriteFileText(Path("in.bin"), std::string(10, '\x80')));
  struct {
    const char* args;
    const char* input;
  } runs[] = {{"wav2dmx", "in.wav"}, {"dmx2wav", "in.bin"}};
  for (const auto& run : runs) {
    SCOPED_TRACE(run.args);
    std::string out;
    EXPECT_EQ(RunCli(std::string(run.args) + " '" + Path(run.input) + "' /dev/full", &out), 1);
    EXPECT_NE(out.find("Unable to write the whole output file: /dev/full\n"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("Finished."), std::string::npos) << out;
  }
}

// However the output's name leads back to the input, the input keeps every
// byte and no output is opened.
TEST_F(NoLostData, InputIsNeverWrittenOver) {
  ASSERT_TRUE(WriteFileText(Path("in.wav"), wav_));
  ASSERT_EQ(link(Path("in.wav").c_str(), Path("hard.wav").c_str()), 0);
  ASSERT_EQ(symlink(Path("in.wav").c_str(), Path("soft.wav").c_str()), 0);
  const std::string same_names[] = {Path("in.wav"), dir_ + "/./in.wav", dir_ + "//in.wav",
                                    Path("hard.wav"), Path("soft.wav")};
  for (int to_image = 0; to_image < 2; to_image++) {
    for (const std::string& out : same_names) {
      SCOPED_TRACE(out + (to_image ? " (to image)" : " (to WAV)"));
      SetNames(Path("in.wav"), out);
      EraseTextBuffer();
      uint32_t result = to_image ? ConvertWAVToDMX() : ConvertDMXtoWAV();
      EXPECT_EQ(result, 1u);
      EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
      std::vector<std::string> expected = {"Input file: " + Path("in.wav"), "Output file: " + out,
                                           "Output file is the input file: " + out};
      EXPECT_EQ(ReportLog(), expected);
      std::string after;
      ASSERT_TRUE(ReadFileText(Path("in.wav"), &after));
      EXPECT_EQ(after, wav_);
    }
  }
  std::string out;
  EXPECT_EQ(RunCli("wav2dmx '" + Path("in.wav") + "' '" + Path("soft.wav") + "'", &out), 1);
  std::string after;
  ASSERT_TRUE(ReadFileText(Path("in.wav"), &after));
  EXPECT_EQ(after, wav_);
}

// A directory opens for reading but every read of it fails: the walk takes
// that for the end of the file, and the conversion must not call the empty
// image finished.
TEST_F(NoLostData, ReadErrorIsNotTheEndOfTheFile) {
  ASSERT_EQ(mkdir(Path("voice.wav").c_str(), 0700), 0);
  SetNames(Path("voice.wav"), Path("out.bin"));
  EXPECT_EQ(ConvertWAVToDMX(), 0u);
  EXPECT_EQ(conversion_outcome, OUTCOME_REJECTED);
  std::vector<std::string> expected = {"Input file: " + Path("voice.wav"),
                                       "Output file: " + Path("out.bin"),
                                       "Unexpected end of file.",
                                       "Unable to read the whole input file: " + Path("voice.wav")};
  EXPECT_EQ(ReportLog(), expected);

  std::string out;
  EXPECT_EQ(RunCli("wav2dmx '" + Path("voice.wav") + "' '" + Path("out.bin") + "'", &out), 2);
  EXPECT_EQ(out.find("Finished."), std::string::npos) << out;
}

// An input whose length reads as 0 but which never ends: the image-to-WAV
// loop stops at the number of samples the header announced.
TEST_F(NoLostData, NeverEndingInputWritesOnlyWhatTheHeaderAnnounced) {
  SetNames("/dev/zero", Path("out.wav"));
  EXPECT_EQ(ConvertDMXtoWAV(), 0u);
  EXPECT_EQ(conversion_outcome, OUTCOME_FINISHED);
  EXPECT_TRUE(Reported("Input file length = 0"));
  struct stat st;
  ASSERT_EQ(stat(Path("out.wav").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 44);
}

// The settings file is written beside the old one and renamed over it: when
// anything fails, the old file stays as it was, nothing is left beside it,
// and the settings stay marked as changed for a later save.
TEST_F(NoLostData, SettingsFileIsReplacedWholeOrNotAtAll) {
  const std::string ini = Path("quorix.ini");
  const std::string old_text = "MU_LAW = 0\nLAST_PLAYED_FILE = C:/drums/kick.wav\n";
  mu_law = 1;
  invert = 1;

  // The new file lands on a full disk.
  ASSERT_TRUE(WriteFileText(ini, old_text));
  ASSERT_EQ(symlink("/dev/full", (ini + ".new").c_str()), 0);
  config_edit = 1;
  SaveConfig(ini.c_str());
  EXPECT_EQ(config_edit, 1);
  std::string text;
  ASSERT_TRUE(ReadFileText(ini, &text));
  EXPECT_EQ(text, old_text);
  struct stat st;
  EXPECT_NE(lstat((ini + ".new").c_str(), &st), 0) << "the temporary file was left behind";

  // The new file cannot be made at all.
  ASSERT_EQ(mkdir((ini + ".new").c_str(), 0700), 0);
  SaveConfig(ini.c_str());
  EXPECT_EQ(config_edit, 1);
  ASSERT_TRUE(ReadFileText(ini, &text));
  EXPECT_EQ(text, old_text);
  ASSERT_EQ(rmdir((ini + ".new").c_str()), 0);

  // The rename fails: something that is not a file stands in the way.
  const std::string blocked = Path("blocked.ini");
  ASSERT_EQ(mkdir(blocked.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((blocked + "/keep").c_str(), 0700), 0);
  SaveConfig(blocked.c_str());
  EXPECT_EQ(config_edit, 1);
  EXPECT_EQ(stat((blocked + "/keep").c_str(), &st), 0);
  EXPECT_NE(lstat((blocked + ".new").c_str(), &st), 0);

  // The directory does not exist.
  SaveConfig(Path("missing/quorix.ini").c_str());
  EXPECT_EQ(config_edit, 1);

  // Nothing changed: the file is not touched, not even created.
  config_edit = 0;
  SaveConfig(Path("untouched.ini").c_str());
  EXPECT_NE(lstat(Path("untouched.ini").c_str(), &st), 0);
  SaveConfig(ini.c_str());
  ASSERT_TRUE(ReadFileText(ini, &text));
  EXPECT_EQ(text, old_text);

  // And when all goes well the old file is replaced whole.
  config_edit = 1;
  SaveConfig(ini.c_str());
  EXPECT_EQ(config_edit, 0);
  ASSERT_TRUE(ReadFileText(ini, &text));
  EXPECT_EQ(text,
            "* Automatically generated configuration file for QUORIX\n\n"
            "MU_LAW = 1\nINVERT = 1\nPAD_FIRST_TWO_BYTES = 1\nAUTOSCALE = 0\n"
            "ROM_SIZE_INDEX = 1\nEIGHTBIT = 0\nSAMPLE_RATE =    24000\n");
  EXPECT_NE(lstat((ini + ".new").c_str(), &st), 0);
}

// A settings path too long for the name of the file written beside it must
// not lead the save to a cut name, another file that may well exist.
TEST_F(NoLostData, SettingsPathTooLongForItsTemporaryFile) {
  const std::string deep = dir_ + "/" + std::string(180, 'v');
  const std::string ini = deep + "/quorix.ini";
  const std::string cut = (ini + ".new").substr(0, NAME_SIZE + 7);
  ASSERT_EQ(cut.rfind('/'), dir_.size()) << "the cut must fall into the long directory's name";
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  ASSERT_TRUE(WriteFileText(ini, "MU_LAW = 0\n"));
  ASSERT_TRUE(WriteFileText(cut, "precious"));

  config_edit = 1;
  SaveConfig(ini.c_str());
  EXPECT_EQ(config_edit, 1);
  std::string text;
  ASSERT_TRUE(ReadFileText(cut, &text));
  EXPECT_EQ(text, "precious");
  ASSERT_TRUE(ReadFileText(ini, &text));
  EXPECT_EQ(text, "MU_LAW = 0\n");
}

// Names go into the report as text: conversions in the names are printed,
// never interpreted.
TEST_F(NoLostData, NamesArePrintedNotInterpreted) {
  const std::string in = Path("%s%n%x.wav"), out = Path("%n%99999d.bin");
  ASSERT_TRUE(WriteFileText(in, wav_));
  SetNames(in, out);
  EXPECT_EQ(ConvertWAVToDMX(), 0u);
  ASSERT_GE(textlines, 3);
  EXPECT_EQ(std::string(textline[0]), "Input file: " + in);
  EXPECT_EQ(std::string(textline[1]), "Output file: " + out);
  EXPECT_STREQ(textline[textlines - 1], "Finished.");

  const std::string wav = Path("%s%s%s.wav");
  SetNames(out, wav);
  EraseTextBuffer();
  EXPECT_EQ(ConvertDMXtoWAV(), 0u);
  ASSERT_GE(textlines, 2);
  EXPECT_EQ(std::string(textline[0]), "Input file: " + out);
  EXPECT_EQ(std::string(textline[textlines - 1]), "Playing file: " + wav);
}

}  // namespace
