// The fuzz targets' seeds and findings replayed: a finding fixed once stays fixed.
#include <filesystem>

#include "fuzz/fuzz_prepare.h"
#include "test_util.h"

TEST(FuzzFindings, Replay) {
  const struct {
    std::string folder;
    const char* (*one)(const uint8_t* data, size_t size);
  } targets[] = {{"prepare", FuzzPrepareOne}, {"info", FuzzInfoOne}};
  for (const auto& t : targets) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(QUORIX_SOURCE_DIR "/fuzz/seeds/" + t.folder)) {
      Bytes b = ReadBytes(entry.path().string());
      EXPECT_STREQ(t.one(b.data(), b.size()), nullptr) << entry.path();
      files++;
    }
    EXPECT_GE(files, 9) << t.folder;
  }
}
