// The machine table: the old presets' images byte for byte as before the
// table became a file.
#include <math.h>

#include "inspect/checksum.h"
#include "test_util.h"
#include "voice/prepare.h"

namespace {

// A decaying tone with noise, 0.25 s at 44.1 kHz: resampled, cut or padded
// by every preset.
Bytes Hit() {
  std::vector<int> s(11025);
  uint32_t x = 1;
  for (size_t i = 0; i < s.size(); i++) {
    x = x * 1664525u + 1013904223u;
    double noise = ((x >> 16) & 0xFFF) / 4096.0 - 0.5;
    s[i] = (int)lround((20000 * sin(2 * M_PI * 180 * (double)i / 44100) + 6000 * noise) * exp(-(double)i / 3000));
  }
  return Mono16(s, 44100);
}

// Catches any change to a preset's clock, region, chip split, first byte,
// padding or code, and to the encoder of the u255 and linear codes. The
// checksums are those of the images the presets gave when they were code.
TEST(MachinePresets, ImagesAreByteForByteThoseOfTheCodedPresets) {
  const struct {
    const char* machine;
    uint32_t region, chip;  // --size, --chips; 0: the machine's
    size_t files;
    const char* sha1;  // of the files joined in order
  } cases[] = {
      {"dmx", 0, 0, 1, "873df0b523a572bc909fe92a32eb069308e235c7"},
      {"dmx-snare", 0, 0, 1, "db7599eb8f0f75b580aa17cfd7031389ae447bb6"},
      {"dmx-perc", 0, 0, 1, "68edf9a82739cd6e7c58d2fed7e3f354277db655"},
      {"dmx-perc2", 0, 0, 1, "f9f4291be3241094e7cfc747703c9bffe114718e"},
      {"dmx-cymbal", 0, 0, 4, "7e92d26413aa88147f312fb201802be962dfeb2d"},
      {"linndrum", 0, 0, 1, "6983297fe0aff6ce19c010275b85fcff1dd99008"},
      {"sds", 0, 0, 1, "3d6b889b095471e2a0ee7f4340062c6cb38a52c7"},
      {"dmx", 0, 2048, 2, "873df0b523a572bc909fe92a32eb069308e235c7"},
      {"dmx", 8192, 0, 1, "4f29af4c243c38c33cb7dc6bd2148eebc1908350"},
      {"dmx-cymbal", 0, 8192, 2, "7e92d26413aa88147f312fb201802be962dfeb2d"},
      {"sds", 0, 16384, 1, "dd199018c48d06b03383d1d79806efa01dce5fc8"},
      {"linndrum", 8192, 4096, 2, "d0c47d2d3a18bccb9613c3431ef4a7150a2ae7a7"},
  };
  const Bytes wav = Hit();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.machine) + " " + std::to_string(c.region) + " " + std::to_string(c.chip));
    PrepareOptions o;
    o.machine = find_machine(c.machine);
    ASSERT_TRUE(o.machine);
    o.region = c.region;
    o.chip = c.chip;
    std::string error;
    AudioFilePtr file = open_audio_memory(wav.data(), wav.size(), &error);
    ASSERT_TRUE(file) << error;
    PreparedVoice v = prepare_voice(*file, o);
    ASSERT_EQ(v.outcome, PrepareOutcome::finished) << v.error;
    Bytes all;
    for (const auto& f : v.files) all.insert(all.end(), f.begin(), f.end());
    EXPECT_EQ(v.files.size(), c.files);
    EXPECT_EQ(checksum(all.data(), all.size()).sha1, c.sha1);
  }
}

}  // namespace
