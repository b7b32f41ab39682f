// The chunk walk on hand-built files: every report line it writes, how it
// ends, and where it hands each data chunk to the data step.
#include <stdio.h>

#include <tuple>

#include "convert/wav.h"
#include "test_util.h"

namespace {

// What the data step was given: where the stream stood, the chunk's size,
// then channels, block align and bits of the format in force.
typedef std::tuple<long, int32_t, unsigned, unsigned, unsigned> StepCall;

std::vector<StepCall> calls;
int reject_call = -1;  // the step rejects the file at this call

// Reads exactly the chunk's body, as the conversion's step does, leaving any
// pad byte for the walk.
int recording_step(FILE* ip, int32_t size, const struct WAVEfmt* fmt, uint16_t bits) {
  calls.push_back(StepCall(ftell(ip), size, fmt->wChannels, fmt->wBlockAlign, bits));
  if ((int)calls.size() - 1 == reject_call) return DATA_REJECT;
  for (int32_t i = 0; i < size; i++) getc(ip);
  return DATA_GO_ON;
}

struct WalkCase {
  const char* what;
  Bytes file;
  Lines log;
  int outcome;
  std::vector<StepCall> steps = {};
  int reject_call = -1;
};

const char* const kEnd = "Unexpected end of file.";
const char* const kFmt16 = "Processing chunk... fmt , 16 bytes";
const char* const kMono16 = "16 bit data, Channels = 1";

Bytes Fmt16(void) { return PcmFmt(1, 16); }  // 24 bytes: the data chunk's header follows at 36
Bytes Body(size_t n) { return Bytes(n, 0x11); }
Bytes Prefix(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

std::vector<WalkCase> walk_cases(void) {
  Bytes fmt_body = FmtBody(1, 1, 2, 16);
  Bytes data4 = Chunk("data", Words({1, 2}));
  return {
      {"file header cut at 11 bytes", Prefix(Riff({}), 11), {kEnd}, WALK_ENDED},
      {"tag in lower case", Cat({RiffHeader("riff", 28, "WAVE"), Fmt16()}),
       {"Not a RIFF file"}, WALK_REJECTED},
      {"form type in lower case", Cat({RiffHeader("RIFF", 28, "wave"), Fmt16()}),
       {"Unknown RIFF type (not a WAVE file)"}, WALK_REJECTED},
      {"chunk header cut short", Riff(Bytes{'f', 'm', 't', ' ', 16}), {kEnd}, WALK_ENDED},
      {"WAVEfmt cut at 13 bytes", Riff(RawChunk("fmt ", 16, Prefix(fmt_body, 13))), {kFmt16, kEnd},
       WALK_REJECTED},
      {"PCMfmt cut at 1 byte", Riff(RawChunk("fmt ", 16, Prefix(fmt_body, 15))), {kFmt16, kEnd},
       WALK_REJECTED},
      {"floating-point format", Riff(Cat({Chunk("fmt ", FmtBody(3, 1, 4, 32)), data4})),
       {kFmt16, "Unknown audio format."}, WALK_REJECTED},
      {"no channels", Riff(Chunk("fmt ", FmtBody(1, 0, 2, 16))), {kFmt16, "Unknown audio format."},
       WALK_REJECTED},
      {"three channels", Riff(Chunk("fmt ", FmtBody(1, 3, 6, 16))),
       {kFmt16, "Unknown audio format."}, WALK_REJECTED},
      {"well-formed mono file", Riff(Cat({Fmt16(), data4})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", kEnd}, WALK_ENDED,
       {{44, 4, 1, 2, 16}}},
      {"data before the format", Riff(Cat({data4, Fmt16(), Chunk("data", Words({3}))})),
       {"Processing chunk... data, 4 bytes", "No header detected before data!", kFmt16, kMono16,
        "Processing chunk... data, 2 bytes", kEnd},
       WALK_ENDED, {{56, 2, 1, 2, 16}}},
      {"odd chunk skipped with its pad byte", Riff(Cat({Chunk("junk", Body(7)), Fmt16(), data4})),
       {"Processing chunk... junk, 7 bytes", "(Ignoring chunk)", kFmt16, kMono16,
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{60, 4, 1, 2, 16}}},
      // A skip that runs into the end sets the end-of-file indicator: no
      // further chunk header is tried, so there is no complaint.
      {"skip runs into the end", Riff(Cat({Fmt16(), data4, RawChunk("LIST", 100, Body(10))})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Processing chunk... LIST, 100 bytes",
        "(Ignoring chunk)"},
       WALK_ENDED, {{44, 4, 1, 2, 16}}},
      {"odd last chunk without its pad byte", Riff(Cat({Fmt16(), data4, RawChunk("id3 ", 3, Body(3))})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Processing chunk... id3 , 3 bytes",
        "(Ignoring chunk)"},
       WALK_ENDED, {{44, 4, 1, 2, 16}}},
      // A size with the top bit set is negative: nothing is skipped, and the
      // walk reads what follows the header as the next chunk header.
      {"most negative size", Riff(Cat({Fmt16(), RawChunk("big ", 0x80000000u, {}), data4})),
       {kFmt16, kMono16, "Processing chunk... big , -2147483648 bytes", "(Ignoring chunk)",
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{52, 4, 1, 2, 16}}},
      {"names in other case", Riff(Cat({Chunk("FMT ", FmtBody(1, 2, 4, 16)), Chunk("Data", Words({1, 2}))})),
       {"Processing chunk... FMT , 16 bytes", "16 bit data, Channels = 2",
        "Processing chunk... Data, 4 bytes", kEnd},
       WALK_ENDED, {{44, 4, 2, 4, 16}}},
      {"17-byte format chunk and its pad byte",
       Riff(Cat({Chunk("fmt ", FmtBody(1, 1, 2, 16, {0x55})), data4})),
       {"Processing chunk... fmt , 17 bytes", kMono16, "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{46, 4, 1, 2, 16}}},
      // Declared shorter than 16 bytes, the body is still read as 16.
      {"format chunk declared 14 bytes", Riff(Cat({RawChunk("fmt ", 14, fmt_body), data4})),
       {"Processing chunk... fmt , 14 bytes", kMono16, "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{44, 4, 1, 2, 16}}},
      {"zero byte in a chunk name",
       Riff(Cat({RawChunk("fmt\0", 16, fmt_body), RawChunk("da\0a", 4, Words({1, 2})),
                 Chunk("data", Words({1}))})),
       {"Processing chunk... fmt, 16 bytes", "(Ignoring chunk)", "Processing chunk... da, 4 bytes",
        "(Ignoring chunk)", "Processing chunk... data, 2 bytes", "No header detected before data!",
        kEnd},
       WALK_ENDED},
      // The RIFF size is ignored; a later format replaces the earlier one,
      // and any width and frame size reach the data step.
      {"second format and second data chunk",
       Cat({RiffHeader("RIFF", 4, "WAVE"), Fmt16(), data4,
            Chunk("fmt ", FmtBody(1, 2, 65535, 24)), Chunk("data", Body(4))}),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", kFmt16, "24 bit data, Channels = 2",
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{44, 4, 1, 2, 16}, {80, 4, 2, 65535, 24}}},
      {"data step rejects", Riff(Cat({Fmt16(), data4, Chunk("LIST", Body(4))})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes"}, WALK_REJECTED,
       {{44, 4, 1, 2, 16}}, 0},
  };
}

class Walk : public EngineTest {};

TEST_F(Walk, ReportsEveryChunkAndEndsAsTheFileSays) {
  for (const WalkCase& c : walk_cases()) {
    SCOPED_TRACE(c.what);
    ResetEngine(window);
    calls.clear();
    reject_call = c.reject_call;
    ASSERT_TRUE(WriteBytes(Path("walk.wav"), c.file));
    FILE* ip = fopen(Path("walk.wav").c_str(), "rb");
    ASSERT_NE(ip, nullptr);
    EXPECT_EQ(WalkWAVChunks(ip, recording_step), c.outcome);
    fclose(ip);
    EXPECT_EQ(ReportLog(), c.log);
    EXPECT_EQ(calls, c.steps);
  }
}

// A skipped body is read a block at a time up to its pad byte, never
// further; the end-of-file indicator is set only by running into the end.
TEST_F(Walk, FlushChunkSkipsTheBodyAndItsPadByte) {
  ASSERT_TRUE(WriteBytes(Path("body"), Body(20000)));
  const struct {
    int32_t size;
    long stops_at;
    bool eof;
  } cases[] = {{0, 0, false},        {-3, 0, false},        {6, 6, false},
               {7, 8, false},        {8191, 8192, false},   {8192, 8192, false},
               {8193, 8194, false},  {19999, 20000, false}, {20000, 20000, false},
               {20001, 20000, true}, {100000, 20000, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    FILE* ip = fopen(Path("body").c_str(), "rb");
    ASSERT_NE(ip, nullptr);
    flush_chunk(ip, c.size);
    EXPECT_EQ(ftell(ip), c.stops_at);
    EXPECT_EQ(feof(ip) != 0, c.eof);
    fclose(ip);
  }
}

}  // namespace
