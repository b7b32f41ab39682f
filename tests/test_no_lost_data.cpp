// No lost data: inputs never written over, failed outputs never finished,
// the settings file replaced whole or not at all.
#include <sys/stat.h>
#include <unistd.h>

#include "convert/convert.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

class NoLostData : public EngineTest {};

TEST_F(NoLostData, InputIsNeverWrittenOver) {
  const Bytes wav = WorkedWav();
  ASSERT_TRUE(WriteBytes(Path("in.wav"), wav));
  ASSERT_EQ(link(Path("in.wav").c_str(), Path("hard.wav").c_str()), 0);
  ASSERT_EQ(symlink(Path("in.wav").c_str(), Path("soft.wav").c_str()), 0);
  for (auto convert : {ConvertWAVToDMX, ConvertDMXtoWAV}) {
    for (const std::string& out : {Path("in.wav"), Path("hard.wav"), Path("soft.wav")}) {
      SCOPED_TRACE(out);
      ResetEngine(window);
      EXPECT_EQ(Convert(convert, Path("in.wav"), out), 1u);
      EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
      EXPECT_EQ(ReportLog(), (Lines{"Input file: " + Path("in.wav"), "Output file: " + out,
                                    "Output file is the input file: " + out}));
      EXPECT_EQ(ReadBytes(Path("in.wav")), wav);
    }
  }
}

// A long conversion onto a full disk (a short one fails at the close: see test_cli).
TEST_F(NoLostData, OutputRefusedWhileWritingIsNotFinished) {
  ASSERT_TRUE(WriteBytes(Path("in.wav"), Riff(Cat({Fmt(1, 16), Chunk("data", Bytes(100000))}))));
  ASSERT_TRUE(WriteBytes(Path("in.bin"), Bytes(50000, 0x80)));
  for (auto convert : {ConvertWAVToDMX, ConvertDMXtoWAV}) {
    ResetEngine(window);
    EXPECT_EQ(Convert(convert, Path(convert == ConvertWAVToDMX ? "in.wav" : "in.bin"), "/dev/full"), 1u);
    EXPECT_EQ(conversion_outcome, OUTCOME_WRITE_FAILED);
    EXPECT_EQ(ReportLog().back(), "Unable to write the whole output file: /dev/full");
    EXPECT_EQ(HeadlessSoundCount(), 0);
    EXPECT_EQ(config_edit, 0);
  }
}

// Its length reads as 0: no more samples than the header announced.
TEST_F(NoLostData, NeverEndingInputWritesOnlyWhatTheHeaderAnnounced) {
  EXPECT_EQ(Convert(ConvertDMXtoWAV, "/dev/zero", Path("out.wav")), 0u);
  EXPECT_EQ(conversion_outcome, OUTCOME_FINISHED);
  EXPECT_EQ(ReadBytes(Path("out.wav")).size(), 44u);
}

// On failure the old file stays, nothing is left beside it, the settings stay marked changed.
TEST_F(NoLostData, SettingsFileIsReplacedWholeOrNotAtAll) {
  const std::string ini = Path("quorix.ini"), blocked = Path("blocked.ini");
  const Bytes old_text = Text("MU_LAW = 0\n");
  ASSERT_TRUE(WriteBytes(ini, old_text));
  ASSERT_EQ(mkdir(blocked.c_str(), 0700), 0);  // a folder stands in the way of the rename
  ASSERT_EQ(mkdir((blocked + "/keep").c_str(), 0700), 0);
  // So deep that its ".new" name would be cut, and the file the cut name reaches.
  const std::string deep = dir + "/" + std::string(180, 'v'), cut = (deep + "/quorix.ini.new").substr(0, NAME_SIZE + 7);
  ASSERT_EQ(cut.rfind('/'), dir.size()) << "the cut must fall into the long folder's name";
  ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(cut, Text("precious")));
  ASSERT_TRUE(WriteBytes(deep + "/quorix.ini", old_text));
  enum { NOTHING, FULL_DISK, FOLDER };  // what stands where the new file goes
  const struct {
    const char* what;
    std::string path;
    int in_the_way;
  } failures[] = {
      {"the new file lands on a full disk", ini, FULL_DISK},
      {"the new file cannot be made", ini, FOLDER},
      {"the rename fails", blocked, NOTHING},
      {"the name of the new file would be cut", deep + "/quorix.ini", NOTHING},
  };
  for (const auto& f : failures) {
    SCOPED_TRACE(f.what);
    const std::string temp = f.path + ".new";
    if (f.in_the_way == FULL_DISK) {
      ASSERT_EQ(symlink("/dev/full", temp.c_str()), 0);
    } else if (f.in_the_way == FOLDER) {
      ASSERT_EQ(mkdir(temp.c_str(), 0700), 0);
    }
    config_edit = 1;
    SaveConfig(f.path.c_str());
    EXPECT_EQ(config_edit, 1);
    EXPECT_EQ(Exists(temp), f.in_the_way == FOLDER) << "a temporary file was left behind";
    RemoveTree(temp);
  }
  EXPECT_EQ(ReadBytes(ini), old_text);
  EXPECT_TRUE(Exists(blocked + "/keep"));
  EXPECT_EQ(ReadBytes(cut), Text("precious"));
  EXPECT_EQ(ReadBytes(deep + "/quorix.ini"), old_text);
  // Nothing changed: the file is not touched, not even made.
  config_edit = 0;
  SaveConfig(Path("untouched.ini").c_str());
  EXPECT_FALSE(Exists(Path("untouched.ini")));
  // And when all goes well the old file is replaced whole.
  config_edit = 1;
  SaveConfig(ini.c_str());
  EXPECT_EQ(config_edit, 0);
  Bytes saved = ReadBytes(ini);
  EXPECT_EQ(std::string(saved.begin(), saved.end()).rfind("* Automatically generated", 0), 0u);
  EXPECT_FALSE(Exists(ini + ".new"));
}

}  // namespace
