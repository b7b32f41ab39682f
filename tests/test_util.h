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
// The same as text, for files compared as strings; false when it fails.
bool ReadFileText(const std::string& path, std::string* out);
bool WriteFileText(const std::string& path, const std::string& data);

// ---- WAV files by hand. Every size field is given explicitly, so broken
// files are as easy to write as good ones. ----
void AppendU16(Bytes& b, uint16_t v);
void AppendU32(Bytes& b, uint32_t v);
Bytes Cat(std::initializer_list<Bytes> parts);
Bytes RiffHeader(const char id[4], uint32_t riff_size, const char type[4]);
Bytes Riff(const Bytes& body);  // "RIFF", 4 + body size, "WAVE", body
// A chunk header with the size given, then the body as given (no pad added).
Bytes RawChunk(const char name[4], uint32_t size, const Bytes& body);
// A well-formed chunk: the size is the body's, and a pad byte follows an odd body.
Bytes Chunk(const char name[4], const Bytes& body);
// A format body: the 14-byte WAVEfmt and the 2-byte PCMfmt, then `extra`.
Bytes FmtBody(uint16_t tag, uint16_t channels, uint16_t block_align, uint16_t bits,
              const Bytes& extra = Bytes());
Bytes PcmFmt(uint16_t channels, uint16_t bits);  // the usual "fmt " chunk
Bytes Words(std::initializer_list<int> samples);  // 16-bit little-endian samples
// Pseudo-random bytes that reach every code, with the extremes of both
// sample widths early on.
Bytes Noise(size_t n, uint32_t seed);

// ---- The engine ----
Lines ReportLog(void);  // textline[0 .. textlines)
// Empties the log, puts back the built-in settings, forgets the platform's
// records and sets MyWindow (null when `window` is null).
void ResetEngine(HWND window);
// Runs ConvertWAVToDMX, ConvertDMXtoWAV or a stand-in on the two names.
uint32_t RunConversion(uint32_t (*convert)(void), const std::string& in, const std::string& out);

// A fresh engine with a headless window and a scratch directory per test.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  // Writes `wav` to in.wav and converts it to out.bin; every exit must leave
  // the cross-hair cursor, after the wait cursor was shown.
  uint32_t ConvertWav(const Bytes& wav);
  Bytes Image(void) const { return ReadBytes(Path("out.bin")); }

  std::string dir;
  HWND window = nullptr;
};

// ---- Child processes ----
struct RunResult {
  int status;  // exit status, or -1 when the program did not exit
  std::string out, err;
};
// Runs argv[0] (searched in PATH) in `cwd` (unchanged when empty) with
// `env` entries "NAME=value" set and "NAME" removed, stdin from /dev/null.
RunResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = "",
                     const std::vector<std::string>& env = {});
bool HaveProgram(const char* name);  // found in PATH
Lines SplitLines(const std::string& text);
