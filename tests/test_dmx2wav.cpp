// EPROM image to WAV file: header, samples, rate guard, report, the sound played.
#include <unistd.h>

#include <limits>

#include "convert/codec.h"
#include "convert/convert.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

Bytes Header(uint32_t riff_size, uint32_t rate, uint16_t bits, uint32_t data_size) {
  return Cat({RiffHeader("RIFF", riff_size, "WAVE"), Chunk("fmt ", FmtBody(1, 1, bits / 8, bits, {}, rate)),
              RawChunk("data", data_size, {})});
}

class DmxToWav : public EngineTest {
 protected:
  uint32_t ConvertImage(const Bytes& image) {
    EXPECT_TRUE(WriteBytes(Path("in.bin"), image));
    return Convert(ConvertDMXtoWAV, Path("in.bin"), Path("out.wav"));
  }
  Lines Names(std::initializer_list<std::string> rest) const {
    Lines l{"Input file: " + Path("in.bin"), "Output file: " + Path("out.wav")};
    l.insert(l.end(), rest.begin(), rest.end());
    return l;
  }
  Bytes Wav(void) const { return ReadBytes(Path("out.wav")); }
};

// The image counts up through the codes; a row without a header is a refused rate.
TEST_F(DmxToWav, HeaderSamplesRateGuardReportAndSound) {
  const char* const too_high = "Sample rate too high for a WAV file (at most 2147483647 Hz).";
  const struct {
    int eightbit, samples;
    double rate;
    Bytes header;
    std::string rate_line;
    double rate_after;
  } cases[] = {
      // Three read blocks and a bit; odd 8-bit counts take no pad byte.
      {0, 196615, 24000.0, Header(393266, 24000, 16, 393230), "24000 Hz, duration = 8.192", 24000.0},
      {1, 196615, 24000.0, Header(196651, 24000, 8, 196615), "24000 Hz, duration = 8.192", 24000.0},
      // The header truncates the rate, the report rounds it.
      {0, 3, 24000.9, Header(42, 24000, 16, 6), "24001 Hz, duration = 0.000", 24000.9},
      {1, 7, 2.0, Header(43, 2, 8, 7), "2 Hz, duration = 3.500", 2.0},
      {0, 0, 1.0, Header(36, 1, 16, 0), "1 Hz, duration = 0.000", 1.0},
      // Below 1 Hz the setting itself becomes 24000.
      {1, 2, 0.5, Header(38, 24000, 8, 2), "24000 Hz, duration = 0.000", 24000.0},
      // The highest rate a header holds; twice it still fits bytes per second.
      {0, 1, 2147483647.0, Header(38, 2147483647u, 16, 2), "2147483647 Hz, duration = 0.000",
       2147483647.0},
      {0, 2, 2147483648.0, {}, too_high, 0},
      {1, 2, std::numeric_limits<double>::quiet_NaN(), {}, too_high, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "eightbit " << c.eightbit << " samples " << c.samples << " rate " << c.rate);
    ResetEngine(window);
    eightbit = c.eightbit;
    sample_rate = c.rate;
    Bytes image(c.samples);
    for (size_t i = 0; i < image.size(); i++) image[i] = (uint8_t)i;
    bool refused = c.header.empty();
    EXPECT_EQ(ConvertImage(image), refused ? 1u : 0u);
    if (refused) {
      EXPECT_EQ(ReportLog(), Names({c.rate_line}));
      EXPECT_EQ(Wav(), Bytes());
      EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
      EXPECT_EQ(HeadlessSoundCount(), 0);
      EXPECT_EQ(config_edit, 0);
      continue;
    }
    Bytes expected = c.header;
    for (uint8_t code : image) {
      int32_t v = u255lawToLinear(code, c.eightbit ? 127 : 32767);
      if (c.eightbit)
        expected.push_back((uint8_t)(v + 128));
      else
        AppendU16(expected, (uint16_t)v);
    }
    EXPECT_TRUE(Wav() == expected) << "header or samples differ";
    EXPECT_EQ(ReportLog(), Names({"Input file length = " + std::to_string(c.samples),
                                  "Sample rate = " + c.rate_line + " seconds", "Finished.",
                                  "Playing file: " + Path("out.wav")}));
    EXPECT_EQ(sample_rate, c.rate_after);
    EXPECT_EQ(conversion_outcome, OUTCOME_FINISHED);
    // Played in the background, giving up when the device is busy.
    ASSERT_EQ(HeadlessSoundCount(), 1);
    EXPECT_EQ(std::string(HeadlessSoundAt(0)->name), Path("out.wav"));
    EXPECT_EQ(HeadlessSoundAt(0)->flags, 0x22001u);
    EXPECT_EQ(std::string(last_played_file), Path("out.wav"));
    EXPECT_EQ(config_edit, 1);
  }
}

// Refused before a sample is read (sparse files: nothing is stored).
TEST_F(DmxToWav, ImagesTooLongForAWavHeader) {
  for (long long length : {2147483648LL, 2147483630LL}) {
    SCOPED_TRACE(length);
    ResetEngine(window);
    eightbit = length > INT32_MAX;
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {}));
    ASSERT_EQ(truncate(Path("in.bin").c_str(), (off_t)length), 0);
    EXPECT_EQ(Convert(ConvertDMXtoWAV, Path("in.bin"), Path("out.wav")), 0u);
    EXPECT_EQ(ReportLog(), Names({"Input file too long for a WAV file: " + Path("in.bin")}));
    EXPECT_EQ(Wav(), Bytes());
    EXPECT_EQ(conversion_outcome, OUTCOME_REJECTED);
    EXPECT_EQ(HeadlessSoundCount(), 0);
  }
}

}  // namespace
