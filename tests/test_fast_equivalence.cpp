// The block-at-a-time engine against the frame-at-a-time data step in
// tests/reference_convert.cpp, on files whose data crosses the engine's
// blocks, uses each of its frame loops, or ends where no frame, block or
// chunk expects it: the same report, result and bytes under every setting.
// (The golden logs elsewhere pin the documented cases; the sox and ffmpeg
// files pin real-world ones.)
#include "convert/convert.h"
#include "report/report.h"
#include "reference_convert.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const uint32_t kBlock = 32768;  // frames the engine reads per call at most

Bytes Fmt(uint16_t channels, uint16_t align, uint16_t bits) {
  return Chunk("fmt ", FmtBody(1, channels, align, bits));
}

struct WavCase {
  const char* what;
  Bytes wav;
  size_t codes;  // image length without automatic scaling: the file took its road
};

std::vector<WavCase> Corpus(void) {
  const Bytes stereo16 = Fmt(2, 4, 16), mono16 = Fmt(1, 2, 16);
  return {
      {"16-bit mono over several blocks",
       Riff(Cat({mono16, Chunk("data", Noise(2 * (2 * kBlock + 5), 1))})), 2 * kBlock + 5},
      {"16-bit stereo, exactly one block",
       Riff(Cat({stereo16, Chunk("data", Noise(4 * kBlock, 2))})), kBlock},
      {"8-bit mono, two blocks and one frame",
       Riff(Cat({Fmt(1, 1, 8), Chunk("data", Noise(2 * kBlock + 1, 3))})), 2 * kBlock + 1},
      {"8-bit stereo", Riff(Cat({Fmt(2, 2, 8), Chunk("data", Noise(3000, 4))})), 1500},
      {"12-bit mono read as 16-bit words", Riff(Cat({Fmt(1, 2, 12), Chunk("data", Noise(1000, 5))})), 500},
      {"8-bit mono in 2-byte frames", Riff(Cat({Fmt(1, 2, 8), Chunk("data", Noise(4000, 6))})), 2000},
      // The last frame takes the pad byte and one byte after the chunk.
      {"3-byte frames, size not a multiple",
       Riff(Cat({Fmt(1, 3, 16), RawChunk("data", 3001, Noise(3001, 7)), Bytes(1, 0), Noise(7, 8)})), 1001},
      // Frames wider than the frame buffer, over blocks of 6553 frames.
      {"20-byte stereo frames",
       Riff(Cat({Fmt(2, 20, 16), RawChunk("data", 20 * 7000 + 3, Noise(20 * 7000 + 20, 9))})), 7001},
      // Files that end inside a data chunk keep the codes of the whole frames.
      {"declared longer by less than a frame, none of it there",
       Riff(Cat({stereo16, RawChunk("data", 4002, Noise(4000, 10))})), 1000},
      {"declared longer by less than a frame, half a frame there",
       Riff(Cat({stereo16, RawChunk("data", 4002, Noise(4002, 11))})), 1000},
      {"size not a multiple of the frame, file ends with the chunk",
       Riff(Cat({stereo16, RawChunk("data", 4001, Noise(4001, 12))})), 1000},
      {"ends one frame after a whole block",
       Riff(Cat({stereo16, RawChunk("data", 4 * (kBlock + 1), Noise(4 * kBlock, 13))})), kBlock},
      {"ends half a frame after a whole block",
       Riff(Cat({stereo16, RawChunk("data", 4 * kBlock + 2, Noise(4 * kBlock + 2, 14))})), kBlock},
      {"declared as large as a chunk can be",
       Riff(Cat({mono16, RawChunk("data", 0x7FFFFFFF, Noise(5001, 15))})), 2500},
      // Several data chunks: the scale and the count carry over.
      {"data chunk of negative size, then one with samples",
       Riff(Cat({mono16, RawChunk("data", 0x80000010u, {}), Chunk("data", Noise(200, 16))})), 100},
      {"format replaced between data chunks",
       Riff(Cat({mono16, Chunk("data", Noise(200, 17)), Chunk("LIST", Noise(5, 18)), Fmt(2, 2, 8),
                 Chunk("data", Noise(300, 19))})),
       250},
      {"frame size 0 with an empty chunk", Riff(Cat({Fmt(1, 0, 16), Chunk("data", {})})), 0},
  };
}

struct Result {
  uint32_t result;
  int outcome;
  Lines report;
  Bytes image;
};

class FastEquivalence : public EngineTest {
 protected:
  Result Run(uint32_t (*convert)(void)) {
    EraseTextBuffer();
    uint32_t result = RunConversion(convert, Path("in.wav"), Path("out.bin"));
    return {result, conversion_outcome, ReportLog(), Image()};
  }
};

TEST_F(FastEquivalence, HandBuiltFilesConvertAsFrameByFrame) {
  // Both codes, with and without inversion and automatic scaling.
  const struct {
    int mu_law, invert, autoscale;
  } settings[] = {{1, 0, 0}, {1, 1, 1}, {0, 0, 1}, {0, 1, 0}};
  for (const WavCase& c : Corpus()) {
    ASSERT_TRUE(WriteBytes(Path("in.wav"), c.wav));
    for (const auto& s : settings) {
      SCOPED_TRACE(testing::Message() << c.what << ", mu_law " << s.mu_law << " invert "
                                      << s.invert << " autoscale " << s.autoscale);
      mu_law = s.mu_law;
      invert = s.invert;
      autoscale = s.autoscale;
      Result reference = Run(ReferenceWAVToDMX), fast = Run(ConvertWAVToDMX);
      EXPECT_EQ(fast.result, reference.result);
      EXPECT_EQ(fast.outcome, reference.outcome);
      EXPECT_EQ(fast.report, reference.report);
      EXPECT_TRUE(fast.image == reference.image) << "images differ";
      if (!s.autoscale) {
        EXPECT_EQ(fast.image.size(), c.codes);
      }
    }
  }
}

}  // namespace
