// Shared by the conversion tests: scratch directories, files as byte
// arrays, WAV files built by hand, the report log as a list of lines, a clean
// engine for every test, and child processes (the converter, sox, ffmpeg).
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"

typedef std::vector<uint8_t> Bytes;
typedef std::vector<std::string> Lines;

// ---- Files ----
std::string MakeTempDir(void);             // a new empty directory
void RemoveTree(const std::string& path);  // the directory and all in it
bool WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);  // empty when the file is missing
bool FileExists(const std::string& path);

// ---- WAV files by hand. Every size field is given explicitly, so broken
// files are as easy to write as good ones. ----
void AppendU16(Bytes& b, uint16_t v);
void AppendU32(Bytes& b, uint32_t v);
Bytes Cat(std::initializer_list<Bytes> parts);
// The 12-byte file header. The RIFF size is ignored by the reader; it is
// written as the conventional 4 + body size by Riff().
Bytes RiffHeader(const char id[4], uint32_t riff_size, const char type[4]);
Bytes Riff(const Bytes& body);  // "RIFF", size, "WAVE", body
// A chunk header with the size given, then the body as given (no pad added).
Bytes RawChunk(const char name[4], uint32_t size, const Bytes& body);
// A well-formed chunk: the size is the body's, and a pad byte follows an odd body.
Bytes Chunk(const char name[4], const Bytes& body);
// A format body: the 14-byte WAVEfmt and the 2-byte PCMfmt, then `extra`.
Bytes FmtBody(uint16_t tag, uint16_t channels, uint16_t block_align, uint16_t bits,
              const Bytes& extra = Bytes(), uint32_t rate = 24000);
// The usual "fmt " chunk of a PCM file.
Bytes PcmFmt(uint16_t channels, uint16_t bits);
// Sample bodies: 16-bit little-endian words, 8-bit bytes as given.
Bytes Words(std::initializer_list<int> samples);

// ---- Reference codecs, written from the codes' definitions ----
int32_t RefDecode(int code, int32_t scale);  // u255-law code to a linear sample
int RefMuLaw(int32_t x, int32_t max);        // linear sample to a u255-law code
int RefLinear(int32_t x, int32_t max);       // linear sample to a linear offset code

// ---- The engine ----
Lines ReportLog(void);  // textline[0 .. textlines)
// Empties the log, puts back the built-in settings, forgets the platform's
// records and sets MyWindow (null when `window` is null).
void ResetEngine(HWND window);
// Runs one conversion on the two names (which must fit the name buffers).
uint32_t RunWavToDmx(const std::string& in, const std::string& out);
uint32_t RunDmxToWav(const std::string& in, const std::string& out);

// A fresh engine with a headless window and a scratch directory per test.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // Writes `wav` to in.wav, converts it to out.bin, and returns the result;
  // the wait cursor must have been shown and every exit must leave the
  // cross-hair cursor.
  uint32_t ConvertWav(const Bytes& wav);
  Bytes Image(void) const { return ReadBytes(Path("out.bin")); }
  // The log of a run of ConvertWav: the two name lines, then `rest`.
  Lines Expect(std::initializer_list<std::string> rest) const;

  std::string dir;
  HWND window = nullptr;
};

// ---- Child processes ----
struct RunResult {
  int status;  // exit status, or -1 when the program did not run or exit
  std::string out;
  std::string err;
};
// Runs argv[0] (searched in PATH) in `cwd` (unchanged when empty) with
// `env` entries "NAME=value" set and "NAME" removed, stdin from /dev/null.
RunResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = "",
                     const std::vector<std::string>& env = {});
bool HaveProgram(const char* name);  // found in PATH
Lines SplitLines(const std::string& text);
