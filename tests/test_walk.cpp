// The chunk walk on hand-built files: every report line it writes, how it
// ends, and where it hands each data chunk to the data step.
#include <stdio.h>

#include "convert/wav.h"
#include "test_util.h"

namespace {

// What the data step was given: where the stream stood, the chunk's size and
// the format in force.
struct StepCall {
  long offset;
  int32_t size;
  unsigned channels, block_align, bits;
  bool operator==(const StepCall& o) const {
    return offset == o.offset && size == o.size && channels == o.channels &&
           block_align == o.block_align && bits == o.bits;
  }
};
std::ostream& operator<<(std::ostream& os, const StepCall& c) {
  return os << "{@" << c.offset << " size " << c.size << " ch " << c.channels << " align "
            << c.block_align << " bits " << c.bits << "}";
}

std::vector<StepCall> calls;
int reject_call = -1;  // the step rejects the file at this call

// Reads exactly the chunk's body, as the conversion's step does, leaving any
// pad byte for the walk.
int recording_step(FILE* ip, int32_t size, const struct WAVEfmt* fmt, uint16_t bits) {
  calls.push_back({ftell(ip), size, fmt->wChannels, fmt->wBlockAlign, bits});
  if ((int)calls.size() - 1 == reject_call) return DATA_REJECT;
  for (int32_t i = 0; i < size; i++) getc(ip);
  return DATA_GO_ON;
}

struct WalkCase {
  const char* what;
  Bytes file;
  Lines log;
  int outcome;
  std::vector<StepCall> steps;
  int reject_call;
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
      {"empty file", {}, {kEnd}, WALK_ENDED, {}, -1},
      {"file header cut at 11 bytes", Prefix(Riff({}), 11), {kEnd},
       WALK_ENDED, {}, -1},
      {"another tag than RIFF", Cat({RiffHeader("RIFX", 28, "WAVE"), Fmt16()}),
       {"Not a RIFF file"}, WALK_REJECTED, {}, -1},
      {"tag in lower case", Cat({RiffHeader("riff", 28, "WAVE"), Fmt16()}),
       {"Not a RIFF file"}, WALK_REJECTED, {}, -1},
      {"form type in lower case", Cat({RiffHeader("RIFF", 28, "wave"), Fmt16()}),
       {"Unknown RIFF type (not a WAVE file)"}, WALK_REJECTED, {}, -1},
      {"another form type", Cat({RiffHeader("RIFF", 28, "AVI "), Fmt16()}),
       {"Unknown RIFF type (not a WAVE file)"}, WALK_REJECTED, {}, -1},
      {"header and nothing else", Riff({}), {kEnd}, WALK_ENDED, {}, -1},
      {"chunk header cut short", Riff(Bytes{'f', 'm', 't', ' ', 16}), {kEnd}, WALK_ENDED, {},
       -1},
      {"WAVEfmt cut at 13 bytes",
       Riff(RawChunk("fmt ", 16, Prefix(fmt_body, 13))),
       {kFmt16, kEnd}, WALK_REJECTED, {}, -1},
      {"PCMfmt missing", Riff(RawChunk("fmt ", 16, Prefix(fmt_body, 14))),
       {kFmt16, kEnd}, WALK_REJECTED, {}, -1},
      {"PCMfmt cut at 1 byte",
       Riff(RawChunk("fmt ", 16, Prefix(fmt_body, 15))),
       {kFmt16, kEnd}, WALK_REJECTED, {}, -1},
      {"floating-point format", Riff(Cat({Chunk("fmt ", FmtBody(3, 1, 4, 32)), data4})),
       {kFmt16, "Unknown audio format."}, WALK_REJECTED, {}, -1},
      {"extensible format", Riff(Cat({Chunk("fmt ", FmtBody(0xFFFE, 1, 2, 16, Body(24))), data4})),
       {"Processing chunk... fmt , 40 bytes", "Unknown audio format."}, WALK_REJECTED, {}, -1},
      {"format tag 0", Riff(Chunk("fmt ", FmtBody(0, 1, 2, 16))), {kFmt16, "Unknown audio format."},
       WALK_REJECTED, {}, -1},
      {"no channels", Riff(Chunk("fmt ", FmtBody(1, 0, 2, 16))), {kFmt16, "Unknown audio format."},
       WALK_REJECTED, {}, -1},
      {"three channels", Riff(Chunk("fmt ", FmtBody(1, 3, 6, 16))),
       {kFmt16, "Unknown audio format."}, WALK_REJECTED, {}, -1},
      {"well-formed mono file", Riff(Cat({Fmt16(), data4})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", kEnd}, WALK_ENDED,
       {{44, 4, 1, 2, 16}}, -1},
      {"data before the format",
       Riff(Cat({data4, Fmt16(), Chunk("data", Words({3}))})),
       {"Processing chunk... data, 4 bytes", "No header detected before data!", kFmt16, kMono16,
        "Processing chunk... data, 2 bytes", kEnd},
       WALK_ENDED, {{56, 2, 1, 2, 16}}, -1},
      {"odd chunk skipped with its pad byte", Riff(Cat({Chunk("junk", Body(7)), Fmt16(), data4})),
       {"Processing chunk... junk, 7 bytes", "(Ignoring chunk)", kFmt16, kMono16,
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{60, 4, 1, 2, 16}}, -1},
      // A skip that runs into the end sets the end-of-file indicator: no
      // further chunk header is tried, so there is no complaint.
      {"skip runs into the end", Riff(Cat({Fmt16(), data4, RawChunk("LIST", 100, Body(10))})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Processing chunk... LIST, 100 bytes",
        "(Ignoring chunk)"},
       WALK_ENDED, {{44, 4, 1, 2, 16}}, -1},
      {"odd last chunk without its pad byte", Riff(Cat({Fmt16(), data4, RawChunk("id3 ", 3, Body(3))})),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Processing chunk... id3 , 3 bytes",
        "(Ignoring chunk)"},
       WALK_ENDED, {{44, 4, 1, 2, 16}}, -1},
      // A size with the top bit set is negative: nothing is skipped, and the
      // walk reads what follows the header as the next chunk header.
      {"negative size", Riff(Cat({Fmt16(), RawChunk("junk", 0xFFFFFFF8u, {}), data4})),
       {kFmt16, kMono16, "Processing chunk... junk, -8 bytes", "(Ignoring chunk)",
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{52, 4, 1, 2, 16}}, -1},
      {"most negative size", Riff(Cat({Fmt16(), RawChunk("big ", 0x80000000u, {}), data4})),
       {kFmt16, kMono16, "Processing chunk... big , -2147483648 bytes", "(Ignoring chunk)",
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{52, 4, 1, 2, 16}}, -1},
      {"names in other case", Riff(Cat({Chunk("FMT ", FmtBody(1, 2, 4, 16)), Chunk("Data", Words({1, 2}))})),
       {"Processing chunk... FMT , 16 bytes", "16 bit data, Channels = 2",
        "Processing chunk... Data, 4 bytes", kEnd},
       WALK_ENDED, {{44, 4, 2, 4, 16}}, -1},
      {"18-byte format chunk", Riff(Cat({Chunk("fmt ", FmtBody(1, 1, 2, 16, {0, 0})), data4})),
       {"Processing chunk... fmt , 18 bytes", kMono16, "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{46, 4, 1, 2, 16}}, -1},
      {"17-byte format chunk and its pad byte",
       Riff(Cat({Chunk("fmt ", FmtBody(1, 1, 2, 16, {0x55})), data4})),
       {"Processing chunk... fmt , 17 bytes", kMono16, "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{46, 4, 1, 2, 16}}, -1},
      // Declared shorter than 16 bytes, the body is still read as 16.
      {"format chunk declared 14 bytes", Riff(Cat({RawChunk("fmt ", 14, fmt_body), data4})),
       {"Processing chunk... fmt , 14 bytes", kMono16, "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{44, 4, 1, 2, 16}}, -1},
      {"zero byte in a chunk name",
       Riff(Cat({RawChunk("fmt\0", 16, fmt_body), RawChunk("da\0a", 4, Words({1, 2})),
                 Chunk("data", Words({1}))})),
       {"Processing chunk... fmt, 16 bytes", "(Ignoring chunk)", "Processing chunk... da, 4 bytes",
        "(Ignoring chunk)", "Processing chunk... data, 2 bytes", "No header detected before data!",
        kEnd},
       WALK_ENDED, {}, -1},
      // The RIFF size is ignored; a later format replaces the earlier one,
      // and any width and frame size reach the data step.
      {"second format and second data chunk",
       Cat({RiffHeader("RIFF", 4, "WAVE"), Fmt16(), data4,
            Chunk("fmt ", FmtBody(1, 2, 65535, 24)), Chunk("data", Body(4))}),
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", kFmt16, "24 bit data, Channels = 2",
        "Processing chunk... data, 4 bytes", kEnd},
       WALK_ENDED, {{44, 4, 1, 2, 16}, {80, 4, 2, 65535, 24}}, -1},
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

// A skipped body is read byte by byte up to its pad byte, never further, and
// never past the end of the file.
TEST_F(Walk, FlushChunkSkipsTheBodyAndItsPadByte) {
  struct {
    int32_t size;
    long file_size;
    long stops_at;
  } cases[] = {{0, 20, 0}, {-3, 20, 0}, {6, 20, 6}, {7, 20, 8}, {19, 20, 20}, {30, 20, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    ASSERT_TRUE(WriteBytes(Path("body"), Body((size_t)c.file_size)));
    FILE* ip = fopen(Path("body").c_str(), "rb");
    ASSERT_NE(ip, nullptr);
    flush_chunk(ip, c.size);
    EXPECT_EQ(ftell(ip), c.stops_at);
    EXPECT_EQ(feof(ip) != 0, c.size > c.file_size);
    fclose(ip);
  }
}

}  // namespace
