// WAV file to EPROM image: the chunk walk, allocation failures, and the block
// engine against the frame-at-a-time reference in reference_convert.cpp.
#include <stdio.h>

#include <sstream>

#include "convert/convert.h"
#include "convert/wav.h"
#include "tests/support/reference_convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const char* const kEnd = "Unexpected end of file.";
const char* const kFmt16 = "Processing chunk... fmt , 16 bytes";
const char* const kMono16 = "16 bit data, Channels = 1";
const char* const kData4 = "Processing chunk... data, 4 bytes";
const char* const kUnknown = "Unknown audio format.";

// Reads exactly the chunk's body, leaving any pad byte for the walk, and
// reports where the stream stood, the size and the format in force.
int steps, reject_step = -1;
int reporting_step(FILE* ip, int32_t size, const struct WAVEfmt* fmt, uint16_t bits) {
  ReportPrintf("step at %ld: %ld bytes, %u x %u bits in %u", ftell(ip), (long)size, (unsigned)fmt->wChannels,
               (unsigned)bits, (unsigned)fmt->wBlockAlign);
  if (steps++ == reject_step) return DATA_REJECT;
  for (int32_t i = 0; i < size; i++) getc(ip);
  return DATA_GO_ON;
}

std::string Step(long at, long size = 4, int channels = 1, int bits = 16, int align = 2) {
  return "step at " + std::to_string(at) + ": " + std::to_string(size) + " bytes, " + std::to_string(channels) +
         " x " + std::to_string(bits) + " bits in " + std::to_string(align);
}

Bytes Prefix(Bytes b, size_t n) { return b.resize(n), b; }

class WavToDmx : public EngineTest {
 protected:
  uint32_t ConvertWav(const Bytes& wav) {
    EXPECT_TRUE(WriteBytes(Path("in.wav"), wav));
    return Convert(ConvertWAVToDMX, Path("in.wav"), Path("out.bin"));
  }
  Bytes Image(void) const { return ReadBytes(Path("out.bin")); }
};

TEST_F(WavToDmx, WalkReportsEveryChunkAndEndsAsTheFileSays) {
  const Bytes fmt = Fmt(1, 16), body = FmtBody(1, 1, 2, 16), data4 = Chunk("data", Words({1, 2}));
  const Bytes junk = Bytes(10, 0x11);
  const std::string skipped = "(Ignoring chunk)";
  const struct {
    const char* what;
    Bytes file;
    Lines log;
    int outcome = WALK_ENDED;
    int reject_step = -1;
  } cases[] = {
      {"file header cut at 11 bytes", Prefix(Riff({}), 11), {kEnd}},
      {"tag in lower case", Cat({RiffHeader("riff", 28, "WAVE"), fmt}), {"Not a RIFF file"}, WALK_REJECTED},
      {"big-endian RIFX", Cat({RiffHeader("RIFX", 28, "WAVE"), fmt}), {"Not a RIFF file"}, WALK_REJECTED},
      {"form type in lower case", Cat({RiffHeader("RIFF", 28, "wave"), fmt}),
       {"Unknown RIFF type (not a WAVE file)"}, WALK_REJECTED},
      {"chunk header cut short", Riff(Bytes{'f', 'm', 't', ' ', 16}), {kEnd}},
      {"WAVEfmt cut at 13 bytes", Riff(RawChunk("fmt ", 16, Prefix(body, 13))), {kFmt16, kEnd}, WALK_REJECTED},
      {"PCMfmt cut at 1 byte", Riff(RawChunk("fmt ", 16, Prefix(body, 15))), {kFmt16, kEnd}, WALK_REJECTED},
      {"floating-point format", Riff(Cat({Chunk("fmt ", FmtBody(3, 1, 4, 32)), data4})), {kFmt16, kUnknown},
       WALK_REJECTED},
      {"no channels", Riff(Chunk("fmt ", FmtBody(1, 0, 2, 16))), {kFmt16, kUnknown}, WALK_REJECTED},
      {"three channels", Riff(Chunk("fmt ", FmtBody(1, 3, 6, 16))), {kFmt16, kUnknown}, WALK_REJECTED},
      // A skip into the end sets end-of-file: no further header, no complaint.
      {"skip runs into the end", Riff(Cat({fmt, data4, RawChunk("LIST", 100, junk)})),
       {kFmt16, kMono16, kData4, Step(44), "Processing chunk... LIST, 100 bytes", skipped}},
      // RIFF size ignored, tags cut at a zero byte in any case, data before a format, a
      // negative size, a format under 16 bytes, a skip past the buffer, a later format.
      {"every skip and odd chunk the walk goes through",
       Cat({RiffHeader("RIFF", 4, "WAVE"), RawChunk("fmt\0", 16, body), RawChunk("da\0a", 4, Words({1, 2})),
            Chunk("data", Words({3})), Chunk("junk", Prefix(junk, 7)), RawChunk("big ", 0x80000000u, {}),
            Chunk("FMT ", FmtBody(1, 2, 4, 16, {0x55})), Chunk("Data", Words({1, 2})), RawChunk("fmt ", 14, body),
            data4, Chunk("junk", Bytes(13001)), Chunk("fmt ", FmtBody(1, 2, 65535, 24)),
            Chunk("data", Prefix(junk, 4))}),
       {"Processing chunk... fmt, 16 bytes", skipped, "Processing chunk... da, 4 bytes", skipped,
        "Processing chunk... data, 2 bytes", "No header detected before data!", "Processing chunk... junk, 7 bytes",
        skipped, "Processing chunk... big , -2147483648 bytes", skipped, "Processing chunk... FMT , 17 bytes",
        "16 bit data, Channels = 2", "Processing chunk... Data, 4 bytes", Step(116, 4, 2, 16, 4),
        "Processing chunk... fmt , 14 bytes", kMono16, kData4, Step(152), "Processing chunk... junk, 13001 bytes",
        skipped, kFmt16, "24 bit data, Channels = 2", kData4, Step(13198, 4, 2, 24, 65535), kEnd}},
      {"data step rejects", Riff(Cat({fmt, data4, Chunk("LIST", Prefix(junk, 4))})),
       {kFmt16, kMono16, kData4, Step(44)}, WALK_REJECTED, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEngine(window);
    steps = 0;
    reject_step = c.reject_step;
    ASSERT_TRUE(WriteBytes(Path("walk.wav"), c.file));
    FILE* ip = fopen(Path("walk.wav").c_str(), "rb");
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(WalkWAVChunks(ip, reporting_step), c.outcome);
    fclose(ip);
    EXPECT_EQ(ReportLog(), c.log);
  }
}

// Each allocation of a wide-frame conversion fails in turn. Without the
// wider frame buffer the file is refused as a failure to run, not as its fault.
TEST_F(WavToDmx, EveryAllocationFailingInTurn) {
  const char* const refused = "Not enough memory for a frame of this file.";
  ASSERT_TRUE(WriteBytes(Path("in.wav"), Riff(Cat({Fmt(1, 16, 20), Chunk("data", Cat({Words({8192}), Bytes(18)}))}))));
  int refusals = 0;
  for (int k = 0; k < 40; k++) {
    SCOPED_TRACE(k);
    ResetEngine(window);
    ReleaseTextBuffer();
    HeadlessFailAllocations(k, 1);
    uint32_t result = Convert(ConvertWAVToDMX, Path("in.wav"), Path("out.bin"));
    HeadlessFailAllocations(-1, 0);
    Lines log = ReportLog();
    bool refusal = !log.empty() && log.back() == refused;
    refusals += refusal;
    if (k == 0) {
      EXPECT_EQ(log, Lines());
      EXPECT_FALSE(Exists(Path("out.bin")));
    }
    if (k == 0 || refusal) {
      EXPECT_EQ(result, 1u);
      EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
      EXPECT_EQ(Image(), Bytes());
    } else {
      EXPECT_EQ(result, 0u);
      EXPECT_EQ(Image(), Bytes{0xE0});
    }
  }
  EXPECT_EQ(refusals, 1);
}

const uint32_t kBlock = 32768;  // frames the engine reads per call at most

struct EquivalenceCase {
  const char* what;
  Bytes wav;
  size_t codes;  // image length without automatic scaling
};

std::vector<EquivalenceCase> hand_built(void) {
  const Bytes stereo16 = Fmt(2, 16), mono16 = Fmt(1, 16);
  return {
      {"16-bit mono over several blocks", Riff(Cat({mono16, Chunk("data", Noise(2 * (2 * kBlock + 5), 1))})),
       2 * kBlock + 5},
      {"16-bit stereo, exactly one block", Riff(Cat({stereo16, Chunk("data", Noise(4 * kBlock, 2))})), kBlock},
      {"12-bit mono read as 16-bit words", Riff(Cat({Fmt(1, 12), Chunk("data", Noise(1000, 5))})), 500},
      {"1-bit mono read as 8-bit bytes", Riff(Cat({Fmt(1, 1), Chunk("data", Noise(301, 22))})), 301},
      {"8-bit mono in 2-byte frames", Riff(Cat({Fmt(1, 8, 2), Chunk("data", Noise(4000, 6))})), 2000},
      {"24-bit samples", Riff(Cat({Fmt(1, 24), Chunk("data", Noise(30, 23))})), 0},
      {"frame too small for 16-bit stereo", Riff(Cat({Fmt(2, 16, 1), Chunk("data", Words({1, 2}))})), 0},
      {"samples of no bits", Riff(Cat({Fmt(1, 0, 2), Chunk("data", Noise(30, 24))})), 0},
      // The last frame takes the pad byte and one byte after the chunk.
      {"3-byte frames, size not a multiple",
       Riff(Cat({Fmt(1, 16, 3), RawChunk("data", 3001, Noise(3001, 7)), Bytes(1, 0), Noise(7, 8)})), 1001},
      // Frames wider than the frame buffer, over blocks of 6553 frames.
      {"20-byte stereo frames", Riff(Cat({Fmt(2, 16, 20), RawChunk("data", 20 * 7000 + 3, Noise(20 * 7000 + 20, 9))})),
       7001},
      {"declared longer by less than a frame, none of it there",
       Riff(Cat({stereo16, RawChunk("data", 4002, Noise(4000, 10))})), 1000},
      {"ends one frame after a whole block",
       Riff(Cat({stereo16, RawChunk("data", 4 * (kBlock + 1), Noise(4 * kBlock, 13))})), kBlock},
      {"declared as large as a chunk can be", Riff(Cat({mono16, RawChunk("data", 0x7FFFFFFF, Noise(5001, 15))})),
       2500},
      // A later chunk is scaled by the peak of the one before (full scale after a silent one).
      {"quiet chunk, then a louder one",
       Riff(Cat({mono16, Chunk("data", Words({0, 8192})), Chunk("data", Noise(200, 26))})), 102},
      {"silent chunk, then a loud one", Riff(Cat({mono16, Chunk("data", Words({0, 0})), Chunk("data", Noise(40, 27))})),
       22},
      {"data chunk of negative size, then one with samples",
       Riff(Cat({mono16, RawChunk("data", 0x80000010u, {}), Chunk("data", Noise(200, 16))})), 100},
      {"format replaced between data chunks",
       Riff(Cat({mono16, Chunk("data", Noise(200, 17)), Chunk("LIST", Noise(5, 18)), Fmt(2, 8),
                 Chunk("data", Noise(300, 19))})),
       250},
      {"frame size 0 with an empty chunk", Riff(Cat({Fmt(1, 16, 0), Chunk("data", {})})), 0},
      {"frame size 0 with samples", Riff(Cat({Fmt(1, 16, 0), Chunk("data", Words({1, 2}))})), 0},
  };
}

// Files as sox and ffmpeg write them; OUT stands for the file.
const struct {
  const char* command;
  size_t codes;
} kMade[] = {
    {"sox -n -r 24000 -c 1 -b 16 -e signed-integer OUT synth 1.5 sine 440 vol 0.4", 36000},
    {"sox -n -r 8000 -c 2 -b 8 -e unsigned-integer OUT synth 0.03 sine 440 sine 300 vol 0.5", 240},
    // Text tags in "bext" and "LIST" chunks before the samples.
    {"ffmpeg -v error -y -f lavfi -i aevalsrc=exprs=0.4*sin(440*2*PI*t)|0.3*sin(300*2*PI*t+1):s=8000:d=0.03 "
     "-c:a pcm_s16le -fflags +bitexact -write_bext 1 -metadata title=Kick OUT",
     240},
    {"ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.03:sample_rate=8000 -c:a pcm_u8 "
     "-fflags +bitexact OUT",
     240},
    // Refused: the extensible and float tags, and 24 bits under the PCM tag.
    {"sox -n -r 8000 -c 1 -b 24 OUT synth 0.01 sine 440", 0},
    {"sox -n -r 8000 -c 1 -e floating-point -b 32 OUT synth 0.01 sine 440", 0},
    {"sox -n -r 8000 -c 1 -b 24 -t wavpcm OUT synth 0.01 sine 440", 0},
};

TEST_F(WavToDmx, BlockEngineConvertsAsFrameByFrame) {
  std::vector<EquivalenceCase> cases = hand_built();
  for (const auto& m : kMade) {
    std::vector<std::string> argv;
    std::istringstream words(m.command);
    for (std::string w; words >> w;) argv.push_back(w == "OUT" ? Path("made.wav") : w);
    RunResult r = RunProgram(argv);
    ASSERT_EQ(r.status, 0) << m.command << ": " << r.err;
    cases.push_back({m.command, ReadBytes(Path("made.wav")), m.codes});
  }
  // mu_law 2 writes linear codes too.
  const struct {
    int mu_law, invert, autoscale;
  } settings[] = {{1, 0, 0}, {1, 1, 1}, {0, 0, 1}, {2, 1, 0}};
  for (const EquivalenceCase& c : cases) {
    ASSERT_TRUE(WriteBytes(Path("in.wav"), c.wav));
    for (const auto& s : settings) {
      SCOPED_TRACE(testing::Message() << c.what << ", mu_law " << s.mu_law << " invert " << s.invert
                                      << " autoscale " << s.autoscale);
      mu_law = s.mu_law;
      invert = s.invert;
      autoscale = s.autoscale;
      EraseTextBuffer();
      uint32_t reference = Convert(ReferenceWAVToDMX, Path("in.wav"), Path("out.bin"));
      int reference_outcome = conversion_outcome;
      Lines reference_log = ReportLog();
      Bytes reference_image = Image();
      EraseTextBuffer();
      EXPECT_EQ(ConvertWav(c.wav), reference);
      EXPECT_EQ(conversion_outcome, reference_outcome);
      EXPECT_EQ(ReportLog(), reference_log);
      EXPECT_TRUE(Image() == reference_image) << "images differ";
      if (!s.autoscale) {
        EXPECT_EQ(Image().size(), c.codes);
      }
    }
  }
}

}  // namespace
