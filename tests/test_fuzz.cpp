// The fuzz targets' seeds and findings replayed: a finding fixed once stays
// fixed, and each seed still reaches the outcome its name begins with (a
// seed whose options are refused, or whose file is no longer read, says so).
#include <unistd.h>

#include <filesystem>

#include "test_util.h"
#include "tests/support/fuzz_one.h"
#include "voice/audio.h"

TEST(FuzzFindings, Replay) {
  const struct {
    std::string folder;
    FuzzResult (*one)(const uint8_t* data, size_t size);
  } targets[] = {{"prepare", FuzzPrepareOne}, {"info", FuzzInfoOne}};
  for (const auto& t : targets) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUORIX_SOURCE_DIR "/fuzz/seeds/" + t.folder)) {
      const std::string name = entry.path().filename().string();
      Bytes b = ReadBytes(entry.path().string());
      FuzzResult r = t.one(b.data(), b.size());
      EXPECT_STREQ(r.failed, nullptr) << t.folder << "/" << name;
      EXPECT_EQ(r.outcome + std::string("."), name.substr(0, name.find('.') + 1)) << t.folder << "/" << name;
      files++;
    }
    EXPECT_GT(files, 0) << t.folder;
  }
}

// An RF64 file whose ds64 chunk claims a data size near 2^63: libsndfile
// skipped the data by that much, and the seek from where the data starts
// passed what a count can hold (undefined behaviour the sanitizers abort
// on). Now that seek is refused and the file is damaged, not usable. From
// memory the seeds replay it; this is the pipe of `quorix prepare -`.
TEST(FuzzFindings, Rf64DataSizeNear2To63FromAPipe) {
  Bytes sizes;  // the RIFF size, the data size, the frame count
  for (uint64_t v : {UINT64_C(0x8000000000000040), UINT64_C(0x7ffffffffffffff0), UINT64_C(0x3ffffffffffffff8)})
    AppendU32(sizes, (uint32_t)v), AppendU32(sizes, (uint32_t)(v >> 32));
  AppendU32(sizes, 0);  // no table of other chunks' sizes
  const Bytes file = Cat({RiffHeader("RF64", 0xffffffff, "WAVE"), Chunk("ds64", sizes), Fmt(1, 16),
                          RawChunk("data", 0xffffffff, Bytes(20))});
  int fds[2];
  ASSERT_TRUE(pipe(fds) == 0 && write(fds[1], file.data(), file.size()) == (ssize_t)file.size());
  close(fds[1]);
  std::string error;
  AudioFilePtr audio = open_audio("/dev/fd/" + std::to_string(fds[0]), &error);
  close(fds[0]);
  EXPECT_FALSE(audio);
  EXPECT_NE(error.find("damaged"), std::string::npos) << error;
}
