// What info finds in an image: checksums, factory match, the code, each region's facts.
#include <math.h>

#include "inspect/image.h"
#include "inspect/inspect.h"
#include "inspect/report.h"
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
      {"Wrong size", "a.u7", "Test", 2048, facts.sums.crc32, facts.sums.sha1.c_str(), nullptr, nullptr},
      {"Same CRC-32 only", "b.u7", "Test", 4096, facts.sums.crc32, other_sha1.c_str(), nullptr, nullptr},
      {"Our voice", "ours.u7", "Test", 4096, facts.sums.crc32, facts.sums.sha1.c_str(), nullptr, nullptr},
  };
  const FactoryTable table = {entries, 3};
  ImageOptions options;
  options.factory = &table;
  const FactoryImage* found = analyse_image(image.data(), image.size(), options).factory;
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->voice, "Our voice");
}

// The wave from byte 1 of a 4096-byte region, the rest `pad`.
Bytes Encode(const std::vector<double>& wave, SampleCode code, uint8_t pad = 0x80,
             Encoder encoder = Encoder::dac) {
  Bytes b(4096, pad);
  for (size_t i = 0; i < wave.size() && i + 1 < b.size(); i++)
    b[i + 1] = encode_level(wave[i], code, encoder);
  return b;
}

std::vector<double> Kick(void) {
  std::vector<double> w;
  for (int i = 0; i < 3000; i++)
    w.push_back(0.9 * sin(2 * M_PI * (60 + 100 * exp(-i / 800.0)) * i / 27200) * exp(-i / 1500.0));
  return w;
}

// White noise dying out linearly over `n` samples from `level`, or steady.
std::vector<double> Burst(int n, double level, uint32_t x, bool fade = true) {
  std::vector<double> w;
  for (int i = 0; i < n; i++) {
    x = x * 1664525u + 1013904223u;
    w.push_back(level * ((x >> 8) / 8388608.0 - 1) * (fade ? 1 - (double)i / n : 1));
  }
  return w;
}

// A 10 ms rim click (1800 Hz square) on a slow swing, one-sided for thousands of samples.
std::vector<double> RimSlowTail(double swing, double hz, double phase) {
  std::vector<double> w(4095);
  for (size_t i = 0; i < w.size(); i++) {
    w[i] = swing * sin(phase + 2 * M_PI * hz * i / 27200) * (1 - i / 8160.0);
    if (i < 272) w[i] += 0.3 * ((i * 1800 / 13600) % 2 ? 1 : -1) * (1 - i / 272.0);
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
    bool sure = true;
  } cases[] = {
      // Each of these fooled a guess by smoothness and exact pairing.
      {"u255 short noise burst", Encode(Burst(800, 0.5, 2), SampleCode::u255), LikelyCode::u255},
      {"u255 rim, slow tail", Encode(RimSlowTail(0.5, 8, 2), SampleCode::u255), LikelyCode::u255},
      // Unsure: its loud square click crosses zero in smaller steps read as u255.
      {"linear rim, slow tail", Encode(RimSlowTail(0.6, 5, 4), SampleCode::linear), LikelyCode::linear,
       false},
      {"u255 curve, 0x00 padding", Encode(Burst(3000, 0.5, 8), SampleCode::u255, 0x00, Encoder::curve),
       LikelyCode::u255},
      {"erased", Bytes(4096, 0xFF), LikelyCode::erased},
      {"mostly erased", erased_tail, LikelyCode::erased},
      {"random", Noise(4096, 3), LikelyCode::not_audio},
      {"random 2716", Noise(2048, 4), LikelyCode::not_audio},
      {"zero codes", Bytes(4096, 0x80), LikelyCode::silent},
  };
  for (const auto& c : cases) {
    CodeGuess g = guess_code(c.image.data(), c.image.size());
    EXPECT_EQ(likely_code_name(g.code), std::string(likely_code_name(c.code))) << c.what << ": " << g.reason;
    EXPECT_EQ(g.sure, c.sure) << c.what << ": " << g.doubt;
    EXPECT_FALSE(g.reason.empty()) << c.what;
  }
  // Linear hiss clipped at both ends, and loud steady hiss brightened,
  // read as plausible u255 hiss too: whichever code wins, not surely.
  std::vector<double> clipped = Burst(4096, 3, 11), steady = Burst(4096, 0.85, 12, false);
  for (int pass = 0; pass < 2; pass++)
    for (size_t i = steady.size() - 1; i > 0; i--) steady[i] = (steady[i] - steady[i - 1]) / 1.4;
  for (int k = 0; k < 2; k++) {
    Bytes image = Encode(k ? steady : clipped, SampleCode::linear);
    EXPECT_FALSE(guess_code(image.data(), image.size()).sure) << (k ? "steady" : "clipped");
  }
}

// A factory voice is read as its card, whatever its bytes look like, and
// chips joined in address order are named one by one; the user's
// --machine and --code still win, and an unsure guess warns of nothing.
TEST_F(Inspect, FactoryCardAndJoinedChips) {
  Bytes a = Encode(Burst(1400, 1, 5), SampleCode::linear), b = Encode(Burst(3000, 1, 6), SampleCode::linear);
  a.resize(2048), b.resize(2048);
  Checksums sa = checksum(a.data(), a.size()), sb = checksum(b.data(), b.size());
  const FactoryImage entries[] = {
      {"Perc A", "a.u1", "Test", 2048, sa.crc32, sa.sha1.c_str(), nullptr, "dmx-perc"},
      {"Perc B", "b.u2", "Test", 2048, sb.crc32, sb.sha1.c_str(), nullptr, "dmx-perc2"},
  };
  const FactoryTable table = {entries, 2};
  ImageOptions options;
  options.factory = &table;
  Bytes joined = a;
  joined.insert(joined.end(), b.begin(), b.end());
  auto warned = [](const ImageFacts& f) {
    return std::any_of(f.warnings.begin(), f.warnings.end(),
                       [](const std::string& w) { return w.find("--code") != std::string::npos; });
  };
  FileReport r;  // joined chips of two cards: no one card, but one code
  r.kind = FileKind::image;
  r.image = analyse_image(joined.data(), joined.size(), options);
  ImageFacts f = analyse_image(a.data(), a.size(), options);
  EXPECT_EQ(std::make_pair(f.machine, r.image.machine),
            std::make_pair(find_machine("dmx-perc"), default_machine()));
  for (const ImageFacts* g : {&f, &r.image}) {
    EXPECT_EQ(g->guess.code, LikelyCode::u255) << g->guess.reason;
    EXPECT_FALSE(warned(*g));
  }
  EXPECT_NE(report_text(r).find("factory chips joined: a.u1, b.u2 at 0x0000, 0x0800\n"), std::string::npos);
  joined[3000] ^= 1;  // one piece no longer a factory chip: none named
  EXPECT_TRUE(analyse_image(joined.data(), joined.size(), options).factory_pieces.empty());

  options.machine = find_machine("dmx"), options.code = SampleCode::linear, options.code_given = true;
  f = analyse_image(a.data(), a.size(), options);
  EXPECT_EQ(std::make_pair(f.machine, f.code), std::make_pair(find_machine("dmx"), SampleCode::linear));

  Bytes few = Encode(Burst(60, 1, 7), SampleCode::linear);  // too few samples to be sure
  f = analyse_image(few.data(), few.size(), ImageOptions());
  EXPECT_EQ(std::make_pair(f.guess.code, f.guess.sure), std::make_pair(LikelyCode::linear, false))
      << f.guess.reason;
  EXPECT_FALSE(warned(f));
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
