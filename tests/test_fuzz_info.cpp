// The info fuzz target's seeds and findings, replayed through its own
// entry point: a finding fixed once stays fixed.
#include <filesystem>

#include "test_util.h"

extern "C" int QuorixFuzzInfo(const uint8_t* data, size_t size);

TEST(FuzzInfo, ReplayCorpus) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QUORIX_SOURCE_DIR "/fuzz/seeds/info")) {
    SCOPED_TRACE(entry.path().filename().string());
    Bytes b = ReadBytes(entry.path().string());
    QuorixFuzzInfo(b.data(), b.size());  // aborts on a broken invariant
    files++;
  }
  EXPECT_GE(files, 8);
}
