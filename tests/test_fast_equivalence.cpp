// The fast conversions against the plain ones. The sample functions of
// convert/codec.h are the definition of the codes; the tables must hold
// exactly what they return, and the block-at-a-time engine must write the
// same bytes and report the same lines as the frame-at-a-time conversion in
// tests/reference_convert.cpp, for well-formed files and for every way a
// file can end in the wrong place.
#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "convert/codec.h"
#include "convert/convert.h"
#include "convert/wav.h"
#include "reference_convert.h"
#include "report/report.h"
#include "settings/settings.h"

namespace {

// ---------------------------------------------------------------- tables

// Scales a conversion meets: the fixed 16-bit scale, the smallest peaks, a
// quarter scale, peaks of real recordings and the largest 16-bit magnitude.
const int32_t kScales[] = {32768, 1, 2, 3, 5, 100, 255, 256, 257, 8192,
                           12345, 24983, 30000, 32767};

void ExpectTableMatches(int32_t max, int u255) {
  static uint8_t table[ENCODE_TABLE_SIZE];
  memset(table, 0xAA, sizeof table);
  BuildEncodeTable(table, max, u255);
  int mismatches = 0;
  for (int32_t x = -32768; x <= 32768 && mismatches < 5; x++) {
    int want = u255 ? LinearTo_u255law(x, max) : linear(x, max);
    if (table[x + ENCODE_TABLE_BIAS] != want) {
      ADD_FAILURE() << (u255 ? "u255-law" : "linear") << " max " << max << " x " << x
                    << ": table " << (int)table[x + ENCODE_TABLE_BIAS] << ", encoder " << want;
      mismatches++;
    }
  }
}

TEST(EncodeTable, HoldsTheEncodersCodeForEverySampleAtChosenScales) {
  for (int32_t max : kScales) {
    ExpectTableMatches(max, 1);
    ExpectTableMatches(max, 0);
  }
}

TEST(EncodeTable, HoldsTheEncodersCodeAcrossTheWholeRangeOfScales) {
  // Every 509th scale (a prime step, so no power of two repeats) up to the
  // largest a 16-bit file can produce.
  for (int32_t max = 7; max <= 32768; max += 509) {
    ExpectTableMatches(max, 1);
    ExpectTableMatches(max, 0);
  }
}

TEST(EncodeTable, GivesTheWorkedCodesAtFullScale) {
  static uint8_t mu[ENCODE_TABLE_SIZE], lin[ENCODE_TABLE_SIZE];
  BuildEncodeTable(mu, 32768, 1);
  BuildEncodeTable(lin, 32768, 0);
  struct {
    int32_t x;
    int mu, lin;
  } const cases[] = {
      {0, 0x80, 128},       {1, 0x80, 128},       {-1, 0x00, 128},      {5, 0x80, 128},
      {6, 0x81, 128},       {-6, 0x01, 128},      {256, 0x99, 129},     {-256, 0x19, 127},
      {1000, 0xB2, 131},    {-1000, 0x32, 125},   {16384, 0xF0, 192},   {-16384, 0x70, 64},
      {31396, 0xFE, 250},   {31397, 0xFF, 250},   {32767, 0xFF, 255},   {32768, 0xFF, 255},
      {-32767, 0x7F, 1},    {-32768, 0x7F, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mu[c.x + ENCODE_TABLE_BIAS], c.mu) << "x " << c.x;
    EXPECT_EQ(lin[c.x + ENCODE_TABLE_BIAS], c.lin) << "x " << c.x;
  }
}

TEST(EncodeTable, ScaleOfOneSaturatesEverythingButZero) {
  static uint8_t mu[ENCODE_TABLE_SIZE], lin[ENCODE_TABLE_SIZE];
  BuildEncodeTable(mu, 1, 1);
  BuildEncodeTable(lin, 1, 0);
  EXPECT_EQ(mu[ENCODE_TABLE_BIAS], 0x80);
  EXPECT_EQ(lin[ENCODE_TABLE_BIAS], 128);
  for (int32_t x : {1, 2, 300, 32768}) {
    EXPECT_EQ(mu[x + ENCODE_TABLE_BIAS], 0xFF) << x;
    EXPECT_EQ(mu[-x + ENCODE_TABLE_BIAS], 0x7F) << x;
    EXPECT_EQ(lin[x + ENCODE_TABLE_BIAS], 255) << x;
    EXPECT_EQ(lin[-x + ENCODE_TABLE_BIAS], 0) << x;
  }
}

TEST(DecodeTable, HoldsTheDecodersValueForEveryCode) {
  for (int32_t scale : {32767, 127, 1, 255, 30000}) {
    int32_t table[256];
    BuildDecodeTable(table, scale);
    for (int c = 0; c < 256; c++) EXPECT_EQ(table[c], u255lawToLinear(c, scale)) << scale << " " << c;
  }
}

TEST(DecodeTable, GivesTheWorkedValuesAtBothOutputScales) {
  int32_t wide[256], narrow[256];
  BuildDecodeTable(wide, 32767);
  BuildDecodeTable(narrow, 127);
  const struct {
    int code;
    int32_t wide, narrow;
  } cases[] = {{0x00, -128, 0}, {0x01, -134, 0}, {0x40, -2056, -7}, {0x7F, -31524, -122},
               {0x80, 128, 0},  {0x81, 134, 0},  {0xC0, 2056, 7},   {0xFF, 31524, 122}};
  for (const auto& c : cases) {
    EXPECT_EQ(wide[c.code], c.wide) << c.code;
    EXPECT_EQ(narrow[c.code], c.narrow) << c.code;
  }
  // At the 8-bit scale magnitudes 0 to 16 are silence and 17 is the first step.
  for (int m = 0; m <= 16; m++) {
    EXPECT_EQ(narrow[m], 0) << m;
    EXPECT_EQ(narrow[0x80 | m], 0) << m;
  }
  EXPECT_EQ(narrow[0x11], -1);
  EXPECT_EQ(narrow[0x91], 1);
}

// ---------------------------------------------------------------- files

std::string TempPath(const std::string& name) {
  return ::testing::TempDir() + "quorix_fast_" + std::to_string(getpid()) + "_" + name;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  ASSERT_EQ(fclose(f), 0);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) bytes.append(buf, n);
  fclose(f);
  return bytes;
}

std::string Le16(uint32_t v) { return std::string{(char)(v & 0xFF), (char)((v >> 8) & 0xFF)}; }
std::string Le32(uint32_t v) { return Le16(v & 0xFFFF) + Le16(v >> 16); }

std::string Chunk(const char* name, uint32_t size, const std::string& body) {
  return std::string(name, 4) + Le32(size) + body;
}

std::string FmtBody(uint16_t channels, uint16_t align, uint16_t bits) {
  return Le16(1) + Le16(channels) + Le32(24000) + Le32(24000u * align) + Le16(align) + Le16(bits);
}

std::string Fmt(uint16_t channels, uint16_t align, uint16_t bits) {
  return Chunk("fmt ", 16, FmtBody(channels, align, bits));
}

std::string Riff(const std::string& chunks) { return "RIFF" + Le32(4 + (uint32_t)chunks.size()) + "WAVE" + chunks; }

// Sample bytes that reach every code: a pseudo-random sequence with the
// extremes of both widths mixed in.
std::string Noise(size_t n, uint32_t seed) {
  std::string s(n, 0);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; i++) {
    x = x * 1664525u + 1013904223u;
    s[i] = (char)(x >> 24);
  }
  // Both 16-bit extremes and the 8-bit ones, early in the data.
  const char extremes[] = {0, 0, (char)0xFF, 0x7F, 0x00, (char)0x80, (char)0xFF, (char)0xFF, 1, 0};
  if (n >= 16 + sizeof extremes) memcpy(&s[16], extremes, sizeof extremes);
  return s;
}

// A quiet stretch: 16-bit samples of at most +-`level`.
std::string Quiet16(size_t samples, int level, uint32_t seed) {
  std::string s;
  uint32_t x = seed;
  for (size_t i = 0; i < samples; i++) {
    x = x * 1664525u + 1013904223u;
    int v = (int)(x >> 16) % (2 * level + 1) - level;
    s += Le16((uint16_t)(int16_t)v);
  }
  return s;
}

struct Result {
  uint32_t result;
  int outcome;
  std::vector<std::string> report;
  std::string bytes;
};

Result Convert(uint32_t (*convert)(void), const std::string& in, const std::string& out) {
  snprintf(dmxfilename, sizeof dmxfilename, "%s", in.c_str());
  snprintf(output_filename, sizeof output_filename, "%s", out.c_str());
  remove(out.c_str());
  EraseTextBuffer();
  Result r;
  r.result = convert();
  r.outcome = conversion_outcome;
  for (int i = 0; i < textlines; i++) r.report.push_back(textline[i]);
  EraseTextBuffer();
  r.bytes = ReadFile(out);
  remove(out.c_str());
  return r;
}

size_t FirstDifference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) i++;
  return i;
}

void ExpectSame(const Result& reference, const Result& fast) {
  EXPECT_EQ(fast.result, reference.result);
  EXPECT_EQ(fast.outcome, reference.outcome);
  EXPECT_EQ(fast.report, reference.report);
  EXPECT_EQ(fast.bytes.size(), reference.bytes.size());
  EXPECT_TRUE(fast.bytes == reference.bytes)
      << "first difference at byte " << FirstDifference(fast.bytes, reference.bytes);
}

struct Settings {
  int mu_law, invert, autoscale;
};
// Both codes, the linear code as any value but 1 selects it (2) and as 0,
// with and without inversion and automatic scaling.
const Settings kSettings[] = {{1, 0, 0}, {1, 0, 1}, {1, 1, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 1},
                              {0, 1, 0}, {0, 1, 1}, {2, 0, 0}, {2, 0, 1}, {2, 1, 0}, {2, 1, 1}};

std::string Describe(const Settings& s) {
  return "mu_law " + std::to_string(s.mu_law) + " invert " + std::to_string(s.invert) +
         " autoscale " + std::to_string(s.autoscale);
}

class FastEquivalence : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    play_after_conversion = 0;
  }
  void TearDown() override {
    ResetSettings();
    play_after_conversion = 1;
  }

  // Converts `wav` under every setting with both engines and compares them.
  void CompareWav(const std::string& label, const std::string& wav) {
    std::string in = TempPath("in.wav"), out = TempPath("out.bin");
    WriteFile(in, wav);
    for (const Settings& s : kSettings) {
      SCOPED_TRACE(label + ", " + Describe(s));
      mu_law = s.mu_law;
      invert = s.invert;
      autoscale = s.autoscale;
      Result reference = Convert(ReferenceWAVToDMX, in, out);
      Result fast = Convert(ConvertWAVToDMX, in, out);
      ExpectSame(reference, fast);
    }
    remove(in.c_str());
  }

  void CompareImage(const std::string& label, const std::string& image) {
    std::string in = TempPath("in.bin"), out = TempPath("out.wav");
    WriteFile(in, image);
    for (int eight : {0, 1}) {
      for (double rate : {24000.0, 31250.5}) {
        SCOPED_TRACE(label + ", eightbit " + std::to_string(eight) + ", rate " +
                     std::to_string(rate));
        eightbit = eight;
        sample_rate = rate;
        Result reference = Convert(ReferenceDMXtoWAV, in, out);
        Result fast = Convert(ConvertDMXtoWAV, in, out);
        ExpectSame(reference, fast);
        EXPECT_EQ(fast.bytes.size(), 44 + image.size() * (eight ? 1 : 2));
      }
    }
    remove(in.c_str());
  }
};

// ---------------------------------------------------------------- corpus

struct WavCase {
  const char* name;
  std::string bytes;
  // The last lines the conversion reports with the defaults (u255-law, no
  // inversion, no automatic scaling): they show the file takes the road it
  // was built for.
  std::vector<std::string> tail;
};

const uint32_t kBlock = 32768;  // frames the engine reads per call at most

std::vector<WavCase> HandBuiltCorpus() {
  const std::string finished_at_header[] = {"Unexpected end of file.", "Finished."};
  std::vector<WavCase> c;
  auto well = std::vector<std::string>(finished_at_header, finished_at_header + 2);

  c.push_back({"16-bit mono, data ends the file",
               Riff(Fmt(1, 2, 16) + Chunk("data", 2000, Noise(2000, 1))), well});
  c.push_back({"16-bit stereo over several blocks",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4 * (2 * kBlock + 5), Noise(4 * (2 * kBlock + 5), 2))),
               well});
  c.push_back({"16-bit stereo, exactly one block",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4 * kBlock, Noise(4 * kBlock, 3))), well});
  c.push_back({"8-bit mono, two blocks and one frame",
               Riff(Fmt(1, 1, 8) + Chunk("data", 2 * kBlock + 1, Noise(2 * kBlock + 1, 4))), well});
  c.push_back({"8-bit stereo", Riff(Fmt(2, 2, 8) + Chunk("data", 3000, Noise(3000, 5))), well});
  c.push_back({"12-bit mono read as 16-bit words",
               Riff(Fmt(1, 2, 12) + Chunk("data", 1000, Noise(1000, 6))), well});
  c.push_back({"16-bit extremes",
               Riff(Fmt(1, 2, 16) + Chunk("data", 12,
                                          Le16(0x8000) + Le16(0x7FFF) + Le16(0x8001) + Le16(0) +
                                              Le16(1) + Le16(0xFFFF))),
               well});
  c.push_back({"8-bit extremes",
               Riff(Fmt(2, 2, 8) + Chunk("data", 8, std::string("\x00\x00\xFF\xFF\x80\x80\x00\xFF", 8))),
               well});

  // Files that end inside a data chunk.
  c.push_back({"declared longer by less than a frame, nothing of it there",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4002, Noise(4000, 7))),
               {"Input file: 2001 samples.", "Unexpected end of file."}});
  c.push_back({"declared longer by less than a frame, half a frame there",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4002, Noise(4002, 8))),
               {"Input file: 2001 samples.", "Unexpected end of file."}});
  c.push_back({"declared longer by exactly one frame",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4004, Noise(4000, 9))),
               {"Input file: 2002 samples.", "Unexpected end of file."}});
  c.push_back({"declared longer by many frames",
               Riff(Fmt(2, 4, 16) + Chunk("data", 400000, Noise(4000, 10))),
               {"Input file: 200000 samples.", "Unexpected end of file."}});
  c.push_back({"declared as large as a chunk can be",
               Riff(Fmt(1, 2, 16) + Chunk("data", 0x7FFFFFFF, Noise(5001, 11))),
               {"Input file: 1073741823 samples.", "Unexpected end of file."}});
  c.push_back({"ends one frame after a whole block",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4 * (kBlock + 1), Noise(4 * kBlock, 12))),
               {"Input file: 65538 samples.", "Unexpected end of file."}});
  c.push_back({"ends half a frame after a whole block",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4 * kBlock + 2, Noise(4 * kBlock + 2, 13))),
               {"Input file: 65537 samples.", "Unexpected end of file."}});
  c.push_back({"size not a multiple of the frame, file ends with the chunk",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4001, Noise(4001, 14))),
               {"Input file: 2000 samples.", "Unexpected end of file."}});

  // Chunks after a data chunk, read from wherever the data left the stream.
  c.push_back({"odd 8-bit data, the pad byte starts the next header",
               Riff(Fmt(1, 1, 8) + Chunk("data", 7, Noise(7, 15)) + std::string(1, '\0') +
                    Chunk("LIST", 4, "INFO")),
               {"Processing chunk... , 1108 bytes", "(Ignoring chunk)", "Finished."}});
  c.push_back({"last frame read past the chunk into the next header",
               Riff(Fmt(2, 4, 16) + Chunk("data", 4001, Noise(4001, 16)) + std::string(1, '\0') +
                    Chunk("LIST", 8, "INFOabcd")),
               {"Processing chunk... ST\x08, 1313406976 bytes", "(Ignoring chunk)", "Finished."}});
  c.push_back({"odd 8-bit data ends the file without its pad byte",
               Riff(Fmt(1, 1, 8) + Chunk("data", 7, Noise(7, 17))), well});
  c.push_back({"odd 8-bit data ends the file with its pad byte",
               Riff(Fmt(1, 1, 8) + Chunk("data", 7, Noise(7, 18)) + std::string(1, '\0')), well});
  c.push_back({"ignored chunk ends exactly at the end of the file",
               Riff(Fmt(1, 2, 16) + Chunk("data", 200, Noise(200, 19)) + Chunk("LIST", 6, "INFOab")),
               {"(Ignoring chunk)", "Unexpected end of file.", "Finished."}});
  c.push_back({"odd ignored chunk lacks its pad byte at the end of the file",
               Riff(Fmt(1, 2, 16) + Chunk("data", 200, Noise(200, 20)) + Chunk("LIST", 5, "INFOa")),
               {"(Ignoring chunk)", "Finished."}});
  c.push_back({"ignored chunk longer than the file",
               Riff(Fmt(1, 2, 16) + Chunk("data", 200, Noise(200, 21)) +
                    Chunk("LIST", 100000, Noise(10, 22))),
               {"(Ignoring chunk)", "Finished."}});
  c.push_back({"ignored chunk larger than one skip block",
               Riff(Fmt(1, 2, 16) + Chunk("LIST", 20001, Noise(20001, 23)) + std::string(1, '\0') +
                    Chunk("data", 200, Noise(200, 24))),
               well});
  c.push_back({"ignored chunk of negative size",
               Riff(Fmt(1, 2, 16) + Chunk("JUNK", 0xFFFFFFF0u, "") + Chunk("data", 200, Noise(200, 25))),
               well});
  c.push_back({"data chunk of negative size",
               Riff(Fmt(1, 2, 16) + Chunk("data", 0x80000010u, "") + Chunk("data", 200, Noise(200, 26))),
               well});

  // Several data chunks: the scale and the count carry over.
  c.push_back({"two data chunks of different level",
               Riff(Fmt(1, 2, 16) + Chunk("data", 2000, Quiet16(1000, 3000, 27)) +
                    Chunk("LIST", 4, "INFO") + Chunk("data", 3000, Noise(3000, 28))),
               well});
  c.push_back({"data before the format, then format and data",
               Riff(Chunk("data", 100, Noise(100, 29)) + Fmt(1, 2, 16) + Chunk("data", 200, Noise(200, 30))),
               well});
  c.push_back({"format replaced between data chunks",
               Riff(Fmt(1, 2, 16) + Chunk("data", 200, Noise(200, 31)) + Fmt(2, 2, 8) +
                    Chunk("data", 300, Noise(300, 32))),
               well});
  c.push_back({"silent chunk, then a loud one",
               Riff(Fmt(1, 2, 16) + Chunk("data", 2000, std::string(2000, '\0')) +
                    Chunk("data", 2000, Noise(2000, 33))),
               well});
  c.push_back({"empty data chunk, then one with samples",
               Riff(Fmt(2, 4, 16) + Chunk("data", 0, "") + Chunk("data", 4000, Noise(4000, 34))), well});
  c.push_back({"upper-case names", Riff(Chunk("FMT ", 16, FmtBody(1, 2, 16)) + Chunk("DATA", 100, Noise(100, 35))),
               well});

  // Frame layouts off the common path.
  c.push_back({"block align 0", Riff(Fmt(1, 0, 16) + Chunk("data", 100, Noise(100, 36))),
               {"Input file: 50 samples.", "Unexpected end of file."}});
  c.push_back({"block align 0 with an empty chunk",
               Riff(Fmt(1, 0, 16) + Chunk("data", 0, "")), well});
  c.push_back({"16-bit mono in 3-byte frames, size not a multiple",
               Riff(Fmt(1, 3, 16) + Chunk("data", 3001, Noise(3001, 37)) + std::string(1, '\0') +
                    Noise(7, 38)),
               {}});
  c.push_back({"16-bit stereo in 6-byte frames",
               Riff(Fmt(2, 6, 16) + Chunk("data", 6 * 5000, Noise(6 * 5000, 39))), well});
  c.push_back({"16-bit stereo in 20-byte frames",
               Riff(Fmt(2, 20, 16) + Chunk("data", 20 * 7000 + 3, Noise(20 * 7000 + 3, 40)) +
                    Noise(17, 41)),
               {}});
  c.push_back({"8-bit mono in 2-byte frames", Riff(Fmt(1, 2, 8) + Chunk("data", 4000, Noise(4000, 42))),
               well});
  c.push_back({"frame too small for the samples",
               Riff(Fmt(1, 1, 16) + Chunk("data", 100, Noise(100, 43))),
               {"Processing chunk... data, 100 bytes",
                "Frame size of 1 bytes too small for 1 channel(s) of 16 bits."}});
  c.push_back({"24-bit samples", Riff(Fmt(1, 3, 24) + Chunk("data", 300, Noise(300, 44))),
               {"Processing chunk... data, 300 bytes",
                "Unsupported sample size: 24 bits (8 or 16 bit PCM only)."}});

  // Format chunks of other sizes and files that are no WAV file.
  c.push_back({"format chunk of 18 bytes",
               Riff(Chunk("fmt ", 18, FmtBody(1, 2, 16) + Le16(0)) + Chunk("data", 100, Noise(100, 45))),
               well});
  c.push_back({"format chunk declared 14 bytes",
               Riff(Chunk("fmt ", 14, FmtBody(1, 2, 16).substr(0, 14)) + Chunk("data", 100, Noise(100, 46))),
               {}});
  c.push_back({"not a RIFF file", "RIFX" + Le32(4) + "WAVE", {"Not a RIFF file"}});
  c.push_back({"not a WAVE file", "RIFF" + Le32(4) + "wave", {"Unknown RIFF type (not a WAVE file)"}});
  c.push_back({"shorter than the file header", "RIFF\x04", {"Unexpected end of file.", "Finished."}});
  c.push_back({"empty file", "", {"Unexpected end of file.", "Finished."}});
  return c;
}

TEST_F(FastEquivalence, HandBuiltFilesEndTheWayTheyWereBuiltTo) {
  std::string in = TempPath("tail.wav"), out = TempPath("tail.bin");
  for (const WavCase& c : HandBuiltCorpus()) {
    if (c.tail.empty()) continue;
    SCOPED_TRACE(c.name);
    WriteFile(in, c.bytes);
    Result fast = Convert(ConvertWAVToDMX, in, out);
    ASSERT_GE(fast.report.size(), c.tail.size());
    std::vector<std::string> tail(fast.report.end() - (long)c.tail.size(), fast.report.end());
    EXPECT_EQ(tail, c.tail);
  }
  remove(in.c_str());
}

TEST_F(FastEquivalence, HandBuiltFilesConvertAsFrameByFrame) {
  for (const WavCase& c : HandBuiltCorpus()) CompareWav(c.name, c.bytes);
}

// The codes written before a file ends inside a chunk are kept: without
// automatic scaling every whole frame before the cut-off one.
TEST_F(FastEquivalence, CodesBeforeTheEndOfATruncatedChunkAreKept) {
  std::string in = TempPath("cut.wav"), out = TempPath("cut.bin");
  WriteFile(in, Riff(Fmt(2, 4, 16) + Chunk("data", 4 * (kBlock + 10), Noise(4 * kBlock + 4 * 7 + 3, 50))));
  mu_law = 1;
  invert = 0;
  autoscale = 0;
  Result fast = Convert(ConvertWAVToDMX, in, out);
  EXPECT_EQ(fast.bytes.size(), kBlock + 7);
  EXPECT_EQ(fast.outcome, OUTCOME_REJECTED);
  autoscale = 1;
  fast = Convert(ConvertWAVToDMX, in, out);
  EXPECT_EQ(fast.bytes.size(), 0u);  // the measuring pass meets the end first
  remove(in.c_str());
}

// ---------------------------------------------------------------- sox files

bool Sox(const std::string& args) {
  std::string command = "sox -q " + args + " 2>/dev/null";
  return system(command.c_str()) == 0;
}

TEST_F(FastEquivalence, FilesWrittenBySoxConvertAsFrameByFrame) {
  struct {
    const char* name;
    const char* format;  // rate and channels of the synthesis, then the sample width
    const char* synth;   // what to synthesise
  } const files[] = {
      {"16-bit mono voice", "-r 24000 -c 1 -n -b 16", "synth 1.5 pinknoise fade q 0 1.5 1.4 vol 0.9"},
      {"16-bit stereo, odd length", "-r 44100 -c 2 -n -b 16", "synth 32193s sine 440 pinknoise vol 0.8"},
      {"16-bit stereo at full scale", "-r 32000 -c 2 -n -b 16", "synth 20001s square 100 square 150"},
      {"8-bit mono, odd length", "-r 24000 -c 1 -n -b 8", "synth 12345s pinknoise vol 0.7"},
      {"8-bit stereo", "-r 22050 -c 2 -n -b 8", "synth 0.5 sine 300 sine 500"},
      {"quiet 16-bit mono", "-r 24000 -c 1 -n -b 16", "synth 0.8 sine 1000 vol 0.02"},
  };
  std::string wav = TempPath("sox.wav");
  for (const auto& f : files) {
    ASSERT_TRUE(Sox(std::string(f.format) + " " + wav + " " + f.synth)) << f.name;
    std::string bytes = ReadFile(wav);
    ASSERT_GT(bytes.size(), 44u) << f.name;
    CompareWav(f.name, bytes);
  }
  remove(wav.c_str());
}

// ---------------------------------------------------------------- images

TEST_F(FastEquivalence, ImagesConvertAsByteByByte) {
  std::string every_code;
  for (int c = 0; c < 256; c++) every_code += (char)c;
  CompareImage("empty image", "");
  CompareImage("one code", "\x80");
  CompareImage("every code once", every_code);
  CompareImage("one block less one", Noise(65535, 60));
  CompareImage("exactly one block", Noise(65536, 61));
  CompareImage("one block and one", Noise(65537, 62));
  CompareImage("several blocks, odd length", Noise(200001, 63));
}

// An image written by the engine converts back like one written by the plain
// conversion, whichever code it holds.
TEST_F(FastEquivalence, ImagesOfSoxFilesRoundTrip) {
  std::string wav = TempPath("round.wav"), image = TempPath("round.bin");
  ASSERT_TRUE(Sox("-r 24000 -c 2 -n -b 16 " + wav + " synth 40000s pinknoise sine 200"));
  autoscale = 1;
  for (int code : {1, 0}) {
    mu_law = code;
    Result made = Convert(ConvertWAVToDMX, wav, image);
    ASSERT_EQ(made.bytes.size(), 40000u);
    CompareImage(code ? "u255-law image of a sox file" : "linear image of a sox file", made.bytes);
  }
  remove(wav.c_str());
}

// ---------------------------------------------------------------- chunk skip

// flush_chunk must leave the stream where skipping a byte at a time would,
// with the end-of-file indicator set only when it ran into the end.
TEST(FlushChunk, LeavesTheStreamAsSkippingByteByByte) {
  std::string path = TempPath("skip.bin");
  WriteFile(path, Noise(30001, 70));
  const long starts[] = {0, 1, 29990};
  const int32_t sizes[] = {-5, 0, 1, 2, 9, 10, 11, 8191, 8192, 8193, 16384, 29999, 30000, 30001, 30002, 100000};
  for (long start : starts) {
    for (int32_t size : sizes) {
      SCOPED_TRACE("start " + std::to_string(start) + " size " + std::to_string(size));
      FILE* a = fopen(path.c_str(), "rb");
      FILE* b = fopen(path.c_str(), "rb");
      ASSERT_TRUE(a && b);
      fseek(a, start, SEEK_SET);
      fseek(b, start, SEEK_SET);
      flush_chunk(a, size);
      int64_t count = size <= 0 ? 0 : (int64_t)size + (size & 1);
      while (count > 0 && getc(b) != EOF) count--;
      EXPECT_EQ(ftell(a), ftell(b));
      EXPECT_EQ(feof(a) != 0, feof(b) != 0);
      EXPECT_EQ(getc(a), getc(b));  // and the next byte read is the same
      fclose(a);
      fclose(b);
    }
  }
  remove(path.c_str());
}

}  // namespace
