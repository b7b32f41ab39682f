// quorix listen as a process: the levels it writes for every code against
// tables computed here, the regions it plays and the gaps between them,
// and the pitch after resampling.
#include <math.h>

#include "test_util.h"
#include "voice/audio.h"
#include "voice/dac.h"

namespace {

class Listen : public ::testing::Test {
 protected:
  void SetUp() override { dir = MakeTempDir(); }
  void TearDown() override { RemoveTree(dir); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {QUORIX_CLI, "listen"});
    return RunProgram(args, dir);
  }
  // The output's samples, read back through libsndfile.
  std::vector<float> Samples(const std::string& name, int* rate = nullptr) {
    std::string error;
    AudioFilePtr f = open_audio(Path(name), &error);
    EXPECT_TRUE(f) << error;
    if (!f) return {};
    if (rate) *rate = audio_format(*f).rate;
    std::vector<float> s((size_t)audio_format(*f).frames);
    MonoRead r = read_mono(*f, 0, s.data(), (long)s.size());
    s.resize((size_t)r.frames);
    return s;
  }
  std::string dir;
};

// The AM6070's level for a code, from the G.711 segment formula rather
// than the program's chord table: |level| = ((2 * step + 33) << chord) - 33.
double G711Level(int code) {
  int chord = (code >> 4) & 7, step = code & 15;
  double magnitude = ((2 * step + 33) << chord) - 33;
  return (code & 0x80 ? magnitude : -magnitude) / 8031;
}

TEST_F(Listen, EveryCodeDecoded) {
  // Byte 0 is never played; bytes 1..256 hold every code once.
  Bytes image(257);
  for (int c = 0; c < 256; c++) image[c + 1] = (uint8_t)c;
  image[0] = 0x80;
  ASSERT_TRUE(WriteBytes(Path("codes.bin"), image));
  const struct {
    const char* what;
    std::vector<std::string> options;
    double (*level)(int code);
    double tolerance;
  } cases[] = {
      {"the DAC", {}, G711Level, 1e-7},
      {"linear", {"--code", "linear"}, [](int c) { return (c - 128) / 128.0; }, 1e-7},
      {"linear-inverted", {"--code", "linear-inverted"}, [](int c) { return (128 - c) / 128.0; }, 1e-7},
      // The continuous curve: magnitude 0 is 1/255 of full scale, not 0.
      {"the curve",
       {"--curve"},
       [](int c) { return (c & 0x80 ? 1 : -1) * floor(exp((c & 0x7F) / 23.08) * 32767 / 255) / 32767; },
       1.5 / 32767},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"--float", "codes.bin", "out.wav"});
    RunResult r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<float> s = Samples("out.wav");
    ASSERT_EQ(s.size(), 256u + 2720u);  // 100 ms at 27200 Hz after the region
    for (int code = 0; code < 256; code++)
      EXPECT_NEAR(s[code], c.level(code), c.tolerance) << "code " << code;
    for (size_t i = 256; i < s.size(); i++) ASSERT_EQ(s[i], 0.0f) << "gap sample " << i;
  }
}

TEST_F(Listen, RegionsFromTheirSecondByte) {
  // Three 2048-byte regions of a Perc card (the last one short), each a
  // ramp of its own linear codes after a first byte that must not sound.
  Bytes image(2048 * 2 + 1000);
  for (size_t i = 0; i < image.size(); i++)
    image[i] = i % 2048 == 0 ? 0xFF : (uint8_t)(i / 2048 * 60 + i % 7);
  ASSERT_TRUE(WriteBytes(Path("perc.bin"), image));
  auto expected = [&](int region) {
    std::vector<float> s;
    for (int k = 0; k < 3; k++) {
      if (region && region != k + 1) continue;
      size_t start = (size_t)k * 2048, end = std::min(image.size(), start + 2048);
      for (size_t i = start + 1; i < end; i++) s.push_back((image[i] - 128) / 128.0f);
      s.insert(s.end(), 2720, 0.0f);
    }
    return s;
  };
  for (int region : {0, 1, 3}) {
    SCOPED_TRACE(region);
    std::vector<std::string> args = {"--machine", "dmx-perc", "--code", "linear",
                                     "--float",   "perc.bin", "out.wav"};
    if (region) args.insert(args.begin(), {"--region", std::to_string(region)});
    RunResult r = Run(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Samples("out.wav"), expected(region));
  }
  RunResult none = Run({"--machine", "dmx-perc", "--region", "4", "perc.bin", "out.wav"});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("no region 4"), std::string::npos) << none.err;
}

// Zero crossings upward over the samples, as a frequency at `rate`.
double MeasuredFrequency(const std::vector<float>& s, size_t from, size_t to, double rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to; i++)
    if (s[i - 1] < 0 && s[i] >= 0) {
      double t = i - 1 + s[i - 1] / (s[i - 1] - s[i]);
      if (first < 0) first = t;
      last = t;
      crossings++;
    }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}

TEST_F(Listen, PitchAtTheOutputRate) {
  // A 1 kHz tone at the DMX's 27200 Hz, played out at 48000 Hz: the same
  // pitch and length, more samples.
  Bytes image(4096, 0x80);
  for (int i = 1; i < 4096; i++) image[i] = dac76_nearest(0.7 * 8031 * sin(2 * M_PI * 1000 * i / 27200.0));
  ASSERT_TRUE(WriteBytes(Path("tone.bin"), image));
  RunResult r = Run({"tone.bin", "out.wav", "--out-rate", "48000"});
  ASSERT_EQ(r.status, 0) << r.err;
  int rate = 0;
  std::vector<float> s = Samples("out.wav", &rate);
  EXPECT_EQ(rate, 48000);
  EXPECT_NEAR((double)s.size(), (4095 + 2720) * 48000 / 27200.0, 1);
  EXPECT_NEAR(MeasuredFrequency(s, 100, 4095 * 48000 / 27200 - 100, 48000), 1000, 1);
}

}  // namespace
