// EPROM image to WAV file: every byte of the header, the samples of every
// code over several read blocks, the rate guard and the report of every way
// the run can end; and both conversions meeting files that do not open.
#include <string.h>
#include <unistd.h>

#include <limits>

#include "convert/codec.h"
#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

// The 44 bytes of a mono PCM header, field by field.
Bytes Header(uint32_t riff_size, uint32_t rate, uint32_t avg, uint16_t align, uint16_t bits,
             uint32_t data_size) {
  Bytes b = Cat({RiffHeader("RIFF", riff_size, "WAVE"), {'f', 'm', 't', ' '}});
  AppendU32(b, 16);
  AppendU16(b, 1);
  AppendU16(b, 1);
  AppendU32(b, rate);
  AppendU32(b, avg);
  AppendU16(b, align);
  AppendU16(b, bits);
  return Cat({b, RawChunk("data", data_size, {})});
}

class DmxToWav : public EngineTest {
 protected:
  uint32_t Convert(const Bytes& image) {
    EXPECT_TRUE(WriteBytes(Path("in.bin"), image));
    uint32_t result = RunConversion(ConvertDMXtoWAV, Path("in.bin"), Path("out.wav"));
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

TEST_F(DmxToWav, HeaderRateGuardAndReport) {
  const struct {
    int eightbit;
    int samples;  // bytes of the image, all the silence code 0x80
    double rate;
    Bytes header;
    const char* rate_line;
    double rate_after;
  } cases[] = {
      // Odd counts: odd sizes and no pad byte.
      {1, 5, 24000.0, Header(41, 24000, 24000, 1, 8, 5),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {0, 5, 24000.0, Header(46, 24000, 48000, 2, 16, 10),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      // The header truncates the rate, the report rounds it.
      {0, 3, 24000.9, Header(42, 24000, 48000, 2, 16, 6),
       "Sample rate = 24001 Hz, duration = 0.000 seconds", 24000.9},
      {1, 7, 2.0, Header(43, 2, 2, 1, 8, 7), "Sample rate = 2 Hz, duration = 3.500 seconds", 2.0},
      {0, 0, 1.0, Header(36, 1, 2, 2, 16, 0), "Sample rate = 1 Hz, duration = 0.000 seconds", 1.0},
      // Below 1 Hz the setting itself becomes 24000.
      {0, 2, 0.0, Header(40, 24000, 48000, 2, 16, 4),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      {1, 2, 0.5, Header(38, 24000, 24000, 1, 8, 2),
       "Sample rate = 24000 Hz, duration = 0.000 seconds", 24000.0},
      // The highest rate a header holds; twice it still fits bytes per second.
      {0, 1, 2147483647.0, Header(38, 2147483647u, 4294967294u, 2, 16, 2),
       "Sample rate = 2147483647 Hz, duration = 0.000 seconds", 2147483647.0},
  };
  for (const auto& c : cases) {
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

// Samples of every code (the decoder itself is checked against its
// definition elsewhere) in an image of three read blocks and a bit.
TEST_F(DmxToWav, SamplesOfEveryCodeOverSeveralBlocks) {
  Bytes image = Noise(3 * 65536 + 7, 1);
  for (int c = 0; c < 256; c++) image[1000 + c] = (uint8_t)c;
  for (int bits : {16, 8}) {
    SCOPED_TRACE(bits);
    ResetEngine(window);
    eightbit = bits == 8;
    EXPECT_EQ(Convert(image), 0u);
    Bytes expected = Header(36 + (uint32_t)image.size() * bits / 8, 24000, 24000 * bits / 8,
                            (uint16_t)(bits / 8), (uint16_t)bits, (uint32_t)image.size() * bits / 8);
    for (uint8_t code : image) {
      int32_t v = u255lawToLinear(code, bits == 16 ? 32767 : 127);
      if (bits == 16) AppendU16(expected, (uint16_t)v);
      else expected.push_back((uint8_t)(v + 128));
    }
    EXPECT_TRUE(Wav() == expected) << "samples differ";
  }
}

// Rates a WAV header cannot hold are refused before a byte is written.
TEST_F(DmxToWav, RatesTooHighAreRefused) {
  for (double rate : {2147483648.0, std::numeric_limits<double>::infinity(),
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
}

// Either conversion: after a file fails to open nothing is played,
// remembered or written over, and the cross-hair cursor is back.
TEST_F(DmxToWav, FilesThatDoNotOpenInEitherConversion) {
  const struct {
    const char* what;
    uint32_t (*convert)(void);
    std::string in, out, line;
  } cases[] = {
      {"image missing", ConvertDMXtoWAV, Path("missing.bin"), Path("out.wav"),
       "Unable to open input file: " + Path("missing.bin")},
      {"WAV file missing", ConvertWAVToDMX, Path("missing.wav"), Path("out.wav"),
       "Unable to open input file: " + Path("missing.wav")},
      {"WAV in a missing directory", ConvertDMXtoWAV, Path("in.bin"), Path("none/out.wav"),
       "Unable to open output file: " + Path("none/out.wav")},
      {"image in a missing directory", ConvertWAVToDMX, Path("in.bin"), Path("none/out.bin"),
       "Unable to open output file: " + Path("none/out.bin")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEngine(window);
    strcpy(last_played_file, "kick.wav");
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {0x80, 0x90}));
    ASSERT_TRUE(WriteBytes(Path("out.wav"), {'o', 'l', 'd'}));
    EXPECT_EQ(RunConversion(c.convert, c.in, c.out), 1u);
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
  const struct {
    int eightbit;
    long long length;
  } cases[] = {{1, 2147483648LL}, {0, 2147483630LL}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.length);
    ResetEngine(window);
    eightbit = c.eightbit;
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {}));
    ASSERT_EQ(truncate(Path("in.bin").c_str(), (off_t)c.length), 0);
    EXPECT_EQ(RunConversion(ConvertDMXtoWAV, Path("in.bin"), Path("out.wav")), 0u);
    EXPECT_EQ(ReportLog(), Names({"Input file too long for a WAV file: " + Path("in.bin")}));
    EXPECT_EQ(Wav(), Bytes());
    EXPECT_EQ(conversion_outcome, OUTCOME_REJECTED);
    EXPECT_EQ(HeadlessSoundCount(), 0);
  }
}

}  // namespace
