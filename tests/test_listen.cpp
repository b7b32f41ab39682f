// quorix listen: the level of every code, the regions and gaps, the pitch after resampling.
#include <math.h>

#include "test_util.h"
#include "voice/audio.h"
#include "voice/dac.h"

namespace {

// From the rising zero crossings of s[from, to), interpolated; 0 with fewer than two.
double Frequency(const std::vector<float>& s, size_t from, size_t to, double rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to && i < s.size(); i++)
    if (s[i - 1] < 0 && s[i] >= 0) {
      last = (double)(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
      if (crossings++ == 0) first = last;
    }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}

class Listen : public ScratchTest {
 protected:
  std::vector<float> Play(std::vector<std::string> args, int* rate = nullptr) {
    args.insert(args.begin(), "listen");
    args.push_back("out.wav");
    RunResult r = Quorix(args);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string error;
    AudioFilePtr f = open_audio(Path("out.wav"), &error);
    if (r.status != 0 || !f) return {};
    if (rate) *rate = audio_format(*f).rate;
    std::vector<float> s((size_t)audio_format(*f).frames);
    s.resize((size_t)read_mono(*f, 0, s.data(), (long)s.size()).frames);
    return s;
  }
};

TEST_F(Listen, EveryCodeDecoded) {
  // Byte 0 is never played; bytes 1..256 hold every code once.
  Bytes image(257, 0x80);
  for (int c = 0; c < 256; c++) image[c + 1] = (uint8_t)c;
  ASSERT_TRUE(WriteBytes(Path("codes.bin"), image));
  const struct {
    Lines options;
    double (*level)(int code);
    double tolerance;
  } cases[] = {
      {{}, [](int c) { return G711Level((uint8_t)c) / 8031.0; }, 1e-7},
      {{"--code", "linear"}, [](int c) { return (c - 128) / 128.0; }, 1e-7},
      {{"--code", "linear-inverted"}, [](int c) { return (128 - c) / 128.0; }, 1e-7},
      // The continuous curve: magnitude 0 is 1/255 of full scale, not 0.
      {{"--curve"}, [](int c) { return (c & 0x80 ? 1 : -1) * floor(exp((c & 0x7F) / 23.08) * 32767 / 255) / 32767; },
       1.5 / 32767},
  };
  for (const auto& c : cases) {
    Lines args = c.options;
    args.insert(args.end(), {"--float", "codes.bin"});
    SCOPED_TRACE(args[0]);
    std::vector<float> s = Play(args);
    ASSERT_EQ(s.size(), 256u + 2720u);  // 100 ms at 27200 Hz after the region
    for (int code = 0; code < 256; code++) EXPECT_NEAR(s[code], c.level(code), c.tolerance) << "code " << code;
    // A PEAK chunk would stamp the time of writing: the same image, another file.
    const Bytes wav = ReadBytes(Path("out.wav"));
    EXPECT_EQ(std::string(wav.begin(), wav.end()).find("PEAK"), std::string::npos);
  }
}

TEST_F(Listen, RegionsFromTheirSecondByte) {
  // Three Perc regions, the last short, each after a first byte that must not sound.
  Bytes image(2048 * 2 + 1000);
  for (size_t i = 0; i < image.size(); i++) image[i] = i % 2048 == 0 ? 0xFF : (uint8_t)(i / 2048 * 60 + i % 7);
  ASSERT_TRUE(WriteBytes(Path("perc.bin"), image));
  for (int region : {0, 1, 3}) {
    SCOPED_TRACE(region);
    std::vector<float> want;
    for (size_t start = 0; start < image.size(); start += 2048) {
      if (region && (size_t)region != start / 2048 + 1) continue;
      for (size_t i = start + 1; i < std::min(image.size(), start + 2048); i++) want.push_back((image[i] - 128) / 128.0f);
      want.insert(want.end(), 2720, 0.0f);
    }
    Lines args = {"--machine", "dmx-perc", "--code", "linear", "--float", "perc.bin"};
    if (region) args.insert(args.begin(), {"--region", std::to_string(region)});
    EXPECT_EQ(Play(args), want);
  }
  RunResult none = Quorix({"listen", "--machine", "dmx-perc", "--region", "4", "perc.bin", "out.wav"});
  EXPECT_EQ(none.status, 2);
  EXPECT_NE(none.err.find("no region 4"), std::string::npos) << none.err;
  EXPECT_EQ(ReadBytes(Path("perc.bin")), image);
}

TEST_F(Listen, PitchAtTheOutputRate) {
  Bytes image(4096, 0x80);
  for (int i = 1; i < 4096; i++) image[i] = dac76_nearest(0.7 * 8031 * sin(2 * M_PI * 1000 * i / 27200.0));
  ASSERT_TRUE(WriteBytes(Path("tone.bin"), image));
  int rate = 0;
  std::vector<float> s = Play({"tone.bin", "--out-rate", "48000"}, &rate);
  EXPECT_EQ(rate, 48000);
  EXPECT_NEAR((double)s.size(), (4095 + 2720) * 48000 / 27200.0, 1);
  EXPECT_NEAR(Frequency(s, 100, 4095 * 48000 / 27200 - 100, 48000), 1000, 1);
}

}  // namespace
