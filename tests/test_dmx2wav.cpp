// EPROM image to WAV file: every byte of the header, the sample bytes of all
// 256 codes, the rate guard and the report of every way the run can end.
#include <string.h>
#include <unistd.h>

#include <limits>

#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

// The 44 bytes of a mono PCM header, field by field.
Bytes Header(uint32_t riff_size, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits,
             uint32_t data_size) {
  Bytes b = RiffHeader("RIFF", riff_size, "WAVE");
  b.insert(b.end(), {'f', 'm', 't', ' '});
  AppendU32(b, 16);
  AppendU16(b, 1);
  AppendU16(b, 1);
  AppendU32(b, rate);
  AppendU32(b, avg);
  AppendU16(b, align);
  AppendU16(b, bits);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  AppendU32(b, data_size);
  return b;
}

class DmxToWav : public EngineTest {
 protected:
  uint32_t Convert(const Bytes& image) {
    EXPECT_TRUE(WriteBytes(Path("in.bin"), image));
    uint32_t result = RunDmxToWav(Path("in.bin"), Path("out.wav"));
    EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS);
    return result;
  }
  Lines Names(std::initializer_list<std::string> rest) const {
    Lines l{"Input file: " + Path("in.bin"), "Output file: " + Path("out.wav")};
    l.insert(l.end(), rest.begin(), rest.end());
    return l;
  }
  Bytes Wav(void) const { return ReadBytes(Path("out.wav")); }
};

struct HeaderCase {
  int eightbit;
  int samples;  // bytes of the image, all the silence code 0x80
  double rate;
  Bytes header;
  const char* rate_line;
  double rate_after;
};

TEST_F(DmxToWav, HeaderRateGuardAndReport) {
  const double inf = std::numeric_limits<double>::infinity();
  const HeaderCase cases[] = {
      {0, 0, 24000.0, Header(36, 24000, 48000, 2, 16, 0),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {1, 0, 24000.0, Header(36, 24000, 24000, 1, 8, 0),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      // 8-bit output of an odd count: odd sizes and no pad byte.
      {1, 5, 24000.0, Header(41, 24000, 24000, 1, 8, 5),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {0, 5, 24000.0, Header(46, 24000, 48000, 2, 16, 10),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      // The header truncates the rate, the report rounds it.
      {0, 3, 24000.9, Header(42, 24000, 48000, 2, 16, 6),
       "Sample rate = 24001 Hz, duration = 0.000 seconds", 24000.9},
      {1, 3, 24000.6, Header(39, 24000, 24000, 1, 8, 3),
       "Sample rate = 24001 Hz, duration = 0.000 seconds", 24000.6},
      {0, 4, 1.0, Header(44, 1, 2, 2, 16, 8), "Sample rate = 1 Hz, duration = 4.000 seconds", 1.0},
      {1, 7, 2.0, Header(43, 2, 2, 1, 8, 7), "Sample rate = 2 Hz, duration = 3.500 seconds", 2.0},
      // Below 1 Hz the setting itself becomes 24000.
      {0, 2, 0.0, Header(40, 24000, 48000, 2, 16, 4),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {0, 2, -5.0, Header(40, 24000, 48000, 2, 16, 4),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {1, 2, 0.5, Header(38, 24000, 24000, 1, 8, 2),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {1, 2, -inf, Header(38, 24000, 24000, 1, 8, 2),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      // The highest rate a header holds; twice it still fits bytes per second.
      {0, 1, 2147483647.0, Header(38, 2147483647u, 4294967294u, 2, 16, 2),
       "Sample rate = 2147483647 Hz, duration = 0.000 seconds", 2147483647.0},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "eightbit " << c.eightbit << " samples " << c.samples
                                    << " rate " << c.rate);
    ResetEngine(window);
    eightbit = c.eightbit;
    sample_rate = c.rate;
    EXPECT_EQ(Convert(Bytes((size_t)c.samples, 0x80)), 0u);
    Bytes expected = c.header;
    for (int i = 0; i < c.samples; i++) {
      expected.push_back(0x80);  // 8-bit: 128; 16-bit: 128 low byte first
      if (!c.eightbit) expected.push_back(0x00);
    }
    EXPECT_EQ(Wav(), expected);
    EXPECT_EQ(ReportLog(), Names({"Input file length = " + std::to_string(c.samples), c.rate_line,
                                  "Finished.", "Playing file: " + Path("out.wav")}));
    EXPECT_EQ(sample_rate, c.rate_after);
    EXPECT_EQ(conversion_outcome, OUTCOME_FINISHED);
  }
}

TEST_F(DmxToWav, SampleBytesOfEveryCode) {
  Bytes image;
  for (int c = 0; c < 256; c++) image.push_back((uint8_t)c);
  for (int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    ResetEngine(window);
    eightbit = bits == 8;
    Convert(image);
    Bytes wav = Wav();
    size_t width = bits / 8;
    ASSERT_EQ(wav.size(), 44 + 256 * width);
    for (int c = 0; c < 256; c++) {
      const uint8_t* p = &wav[44 + c * width];
      if (bits == 16)
        EXPECT_EQ((int16_t)(p[0] | p[1] << 8), RefDecode(c, 32767)) << "code " << c;
      else
        EXPECT_EQ(p[0], RefDecode(c, 127) + 128) << "code " << c;
    }
    // Anchors that need no formula: silence and the loudest codes.
    if (bits == 16) {
      EXPECT_EQ(Bytes(&wav[44 + 0x00 * 2], &wav[44 + 0x00 * 2 + 2]), (Bytes{0x80, 0xFF}));  // -128
      EXPECT_EQ(Bytes(&wav[44 + 0x80 * 2], &wav[44 + 0x80 * 2 + 2]), (Bytes{0x80, 0x00}));  // 128
      EXPECT_EQ(Bytes(&wav[44 + 0xFF * 2], &wav[44 + 0xFF * 2 + 2]), (Bytes{0x24, 0x7B}));  // 31524
      EXPECT_EQ(Bytes(&wav[44 + 0x7F * 2], &wav[44 + 0x7F * 2 + 2]), (Bytes{0xDC, 0x84}));  // -31524
    } else {
      EXPECT_EQ(wav[44 + 0x00], 128);
      EXPECT_EQ(wav[44 + 0x80], 128);
      EXPECT_EQ(wav[44 + 0xFF], 250);
      EXPECT_EQ(wav[44 + 0x7F], 6);
    }
  }
}

// Rates a WAV header cannot hold are refused before a byte is written.
TEST_F(DmxToWav, RatesTooHighAreRefused) {
  for (double rate : {2147483648.0, 1e300, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(rate);
    ResetEngine(window);
    sample_rate = rate;
    EXPECT_EQ(Convert({0x80, 0xFF}), 1u);
    EXPECT_EQ(ReportLog(), Names({"Sample rate too high for a WAV file (at most 2147483647 Hz)."}));
    EXPECT_EQ(Wav(), Bytes());
    EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
    EXPECT_EQ(HeadlessSoundCount(), 0);
    EXPECT_EQ(config_edit, 0);
  }
}

TEST_F(DmxToWav, FinishedRunPlaysAndRemembersTheFile) {
  EXPECT_EQ(Convert({0x80, 0xFF, 0x00}), 0u);
  ASSERT_EQ(HeadlessSoundCount(), 1);
  EXPECT_EQ(std::string(HeadlessSoundAt(0)->name), Path("out.wav"));
  EXPECT_EQ(HeadlessSoundAt(0)->flags, 0x22001u);  // file name, no wait, asynchronous
  EXPECT_EQ(std::string(last_played_file), Path("out.wav"));
  EXPECT_EQ(config_edit, 1);
  EXPECT_GT(window->invalidate_erase, 0);
  EXPECT_EQ(ReportLog().back(), "Playing file: " + Path("out.wav"));
}

TEST_F(DmxToWav, WithoutPlayingNothingClaimsToPlay) {
  play_after_conversion = 0;
  strcpy(last_played_file, "kick.wav");
  EXPECT_EQ(Convert({0x80, 0xFF, 0x00}), 0u);
  EXPECT_EQ(ReportLog(), Names({"Input file length = 3",
                                "Sample rate = 24000 Hz, duration = 0.000 seconds", "Finished."}));
  EXPECT_EQ(HeadlessSoundCount(), 0);
  EXPECT_STREQ(last_played_file, "kick.wav");
  EXPECT_EQ(config_edit, 0);
  EXPECT_EQ(Wav().size(), 44u + 6u);
}

// After a failed start nothing is played, remembered or written over.
TEST_F(DmxToWav, FailedStarts) {
  struct {
    const char* what;
    std::string in, out, line;
  } cases[] = {
      {"input missing", Path("missing.bin"), Path("out.wav"),
       "Unable to open input file: " + Path("missing.bin")},
      {"output in a missing directory", Path("in.bin"), Path("none/out.wav"),
       "Unable to open output file: " + Path("none/out.wav")},
      {"output is the input", Path("in.bin"), dir + "/./in.bin",
       "Output file is the input file: " + dir + "/./in.bin"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEngine(window);
    strcpy(last_played_file, "kick.wav");
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {0x80, 0x90}));
    ASSERT_TRUE(WriteBytes(Path("out.wav"), {'o', 'l', 'd'}));
    EXPECT_EQ(RunDmxToWav(c.in, c.out), 1u);
    EXPECT_EQ(ReportLog(), (Lines{"Input file: " + c.in, "Output file: " + c.out, c.line}));
    EXPECT_EQ(ReadBytes(Path("in.bin")), (Bytes{0x80, 0x90}));
    EXPECT_EQ(ReadBytes(Path("out.wav")), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS);
    EXPECT_EQ(HeadlessSoundCount(), 0);
    EXPECT_STREQ(last_played_file, "kick.wav");
    EXPECT_EQ(config_edit, 0);
    EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
  }
}

// Images whose WAV file would not fit the header's 32-bit sizes are refused
// before a sample is read (sparse files, so nothing is really stored).
TEST_F(DmxToWav, ImagesTooLongForAWavHeader) {
  struct {
    int eightbit;
    long long length;
  } cases[] = {{1, 2147483648LL}, {0, 2147483630LL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    ResetEngine(window);
    eightbit = c.eightbit;
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {}));
    ASSERT_EQ(truncate(Path("in.bin").c_str(), (off_t)c.length), 0);
    EXPECT_EQ(RunDmxToWav(Path("in.bin"), Path("out.wav")), 0u);
    EXPECT_EQ(ReportLog(), Names({"Input file too long for a WAV file: " + Path("in.bin")}));
    EXPECT_EQ(Wav(), Bytes());
    EXPECT_EQ(conversion_outcome, OUTCOME_REJECTED);
    EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS);
    EXPECT_EQ(HeadlessSoundCount(), 0);
  }
}

}  // namespace
