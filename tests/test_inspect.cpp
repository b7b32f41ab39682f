// What info finds in an image: checksums, factory match, the code, each region's facts.
#include <math.h>

#include "inspect/image.h"
#include "test_util.h"
#include "voice/dac.h"

namespace {

class Inspect : public ScratchTest {};

TEST_F(Inspect, ChecksumsAndFactoryMatch) {
  // An image whose CRC-32 starts with a zero digit, which must be printed.
  Bytes image = Noise(4096, 11);
  while (analyse_image(image.data(), image.size(), ImageOptions()).sums.crc32 >= 0x10000000) image[0]++;
  ASSERT_TRUE(WriteBytes(Path("image.bin"), image));
  RunResult python = RunProgram({"python3", "-c",
                                 "import sys, zlib, hashlib; d = open(sys.argv[1], 'rb').read(); "
                                 "print('%08x' % (zlib.crc32(d) & 0xffffffff), hashlib.sha1(d).hexdigest())",
                                 Path("image.bin")});
  ImageFacts facts = analyse_image(image.data(), image.size(), ImageOptions());
  EXPECT_EQ(crc32_hex(facts.sums.crc32) + " " + facts.sums.sha1 + "\n", python.out);

  // Entries that agree in all but one respect must not match.
  std::string other_sha1 = facts.sums.sha1;
  other_sha1[0] = other_sha1[0] == '0' ? '1' : '0';
  const FactoryImage entries[] = {
      {"Wrong size", "a.u7", "Test", 2048, facts.sums.crc32, facts.sums.sha1.c_str(), nullptr},
      {"Same CRC-32 only", "b.u7", "Test", 4096, facts.sums.crc32, other_sha1.c_str(), nullptr},
      {"Our voice", "ours.u7", "Test", 4096, facts.sums.crc32, facts.sums.sha1.c_str(), nullptr},
  };
  const FactoryTable table = {entries, 3};
  ImageOptions options;
  options.factory = &table;
  const FactoryImage* found = analyse_image(image.data(), image.size(), options).factory;
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->voice, "Our voice");
}

Bytes Encode(const std::vector<double>& wave, SampleCode code) {
  Bytes b(4096, 0x80);
  for (size_t i = 0; i < wave.size() && i + 1 < b.size(); i++)
    b[i + 1] = code == SampleCode::u255
                   ? dac76_nearest(wave[i] * 8031)
                   : (uint8_t)lround(128 + std::max(-128.0, std::min(127.0, wave[i] * 128)));
  return b;
}

std::vector<double> Kick(void) {
  std::vector<double> w;
  for (int i = 0; i < 3000; i++)
    w.push_back(0.9 * sin(2 * M_PI * (60 + 100 * exp(-i / 800.0)) * i / 27200) * exp(-i / 1500.0));
  return w;
}

// Differenced noise: as rough as noise itself, which a smoothness test alone misjudges.
std::vector<double> HiHat(void) {
  std::vector<double> w;
  uint32_t x = 12345;
  double prev = 0;
  for (int i = 0; i < 2500; i++) {
    x = x * 1664525u + 1013904223u;
    double n = (x >> 8) / 8388608.0 - 1;
    w.push_back(0.5 * (n - prev) * exp(-i / 500.0));
    prev = n;
  }
  return w;
}

TEST_F(Inspect, CodeFromTheBytes) {
  Bytes erased_tail = Encode(Kick(), SampleCode::u255);
  std::fill(erased_tail.begin() + 300, erased_tail.end(), 0xFF);
  const struct {
    const char* what;
    Bytes image;
    LikelyCode code;
  } cases[] = {
      {"u255 kick", Encode(Kick(), SampleCode::u255), LikelyCode::u255},
      {"u255 hi-hat", Encode(HiHat(), SampleCode::u255), LikelyCode::u255},
      {"linear kick", Encode(Kick(), SampleCode::linear), LikelyCode::linear},
      {"linear hi-hat", Encode(HiHat(), SampleCode::linear), LikelyCode::linear},
      {"erased", Bytes(4096, 0xFF), LikelyCode::erased},
      {"mostly erased", erased_tail, LikelyCode::erased},
      {"random", Noise(4096, 3), LikelyCode::not_audio},
      {"random 2716", Noise(2048, 4), LikelyCode::not_audio},
      {"zero codes", Bytes(4096, 0x80), LikelyCode::silent},
  };
  for (const auto& c : cases) {
    CodeGuess g = guess_code(c.image.data(), c.image.size());
    EXPECT_EQ(likely_code_name(g.code), std::string(likely_code_name(c.code))) << c.what << ": " << g.reason;
    EXPECT_FALSE(g.reason.empty()) << c.what;
  }
}

TEST_F(Inspect, RegionFacts) {
  // Two Perc regions: the first clean, with 0x00 (the AM6070's other zero)
  // first and in the padding; the second starting with 0x3C, 48 bytes erased.
  Bytes image(4096, 0x80);
  image[0] = 0x00;
  std::fill(image.begin() + 1500, image.begin() + 1600, 0x00);
  for (int i = 1; i < 1000; i++) image[i] = i % 2 ? 0x90 : 0x10;
  image[500] = 0xF0;
  image[2048] = 0x3C;
  for (int i = 2049; i < 4096 - 48; i++) image[i] = 0x85;
  std::fill(image.end() - 48, image.end(), 0xFF);

  ImageOptions options;
  options.machine = find_machine("dmx-perc");
  options.rate = 25000;
  ImageFacts f = analyse_image(image.data(), image.size(), options);
  ASSERT_EQ(f.regions.size(), 2u);
  // Offset, first byte and whether it is silence, used, padding, erased tail.
  auto split = [](const RegionFacts& r) {
    return std::make_tuple(r.span.offset, r.first_byte, r.first_is_zero, r.used, r.padding, r.erased_tail);
  };
  EXPECT_EQ(split(f.regions[0]), std::make_tuple(0u, (uint8_t)0x00, true, 1000u, 1048u, 0u));
  EXPECT_EQ(split(f.regions[1]), std::make_tuple(2048u, (uint8_t)0x3C, false, 2048u - 48, 0u, 48u));
  const RegionFacts& a = f.regions[0];
  EXPECT_NEAR(a.peak, G711Level(0xF0) / 8031.0, 1e-12);
  EXPECT_NEAR(a.play_seconds, 2047 / 25000.0, 1e-12);
  EXPECT_NEAR(a.sound_seconds, 999 / 25000.0, 1e-12);
  EXPECT_NEAR(f.regions[1].peak, G711Level(0x85) / 8031.0, 1e-12);  // not its first byte's
  int warnings_on_b = 0;
  for (const std::string& w : f.warnings) warnings_on_b += w.rfind("region 2: ", 0) == 0;
  EXPECT_EQ(warnings_on_b, 2);  // the first byte, the erased tail

  // Read as linear, 0x00 is negative full scale, not silence.
  options.code = SampleCode::linear;
  options.code_given = true;
  f = analyse_image(image.data(), image.size(), options);
  EXPECT_EQ(split(f.regions[0]), std::make_tuple(0u, (uint8_t)0x00, false, 1600u, 448u, 0u));
  EXPECT_NEAR(f.regions[0].peak, 1.0, 1e-12);
}

}  // namespace
