// Shared by the unit tests: scratch folders, files as byte arrays, WAV files
// built by hand, a clean engine for every test, and child processes (the
// converter, sox, ffmpeg).
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convert/convert.h"
#include "platform/platform.h"
#include "report/report.h"
#include "settings/settings.h"

typedef std::vector<uint8_t> Bytes;
typedef std::vector<std::string> Lines;

// ---- Files ----

// A new empty folder. Its name holds printf conversions, so every report
// line naming a file in it shows that names are printed, never interpreted.
inline std::string MakeTempDir(void) {
  std::string templ = (std::filesystem::temp_directory_path() / "quorix %s%n-XXXXXX").string();
  return mkdtemp(&templ[0]) ? templ : std::string();
}

inline void RemoveTree(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

inline bool WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  f.close();
  return !f.fail();
}

// Empty when the file is missing.
inline Bytes ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Also a dangling link.
inline bool Exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::symlink_status(path, ignored).type() != std::filesystem::file_type::not_found;
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Runs `change` on a name buffer holding `text` and followed by bytes that
// must survive it: nothing may be written past the 128 bytes of a name.
template <typename Change>
std::string Guarded(const std::string& text, Change change) {
  char buf[NAME_SIZE + 16];
  memset(buf, 0x5A, sizeof buf);
  strcpy(buf, text.c_str());
  change(buf);
  for (size_t i = NAME_SIZE; i < sizeof buf; i++) EXPECT_EQ(buf[i], 0x5A) << "written past the name";
  return buf;
}

// ---- WAV files by hand. Every size field is given explicitly, so broken
// files are as easy to write as good ones. ----

inline void AppendU16(Bytes& b, uint16_t v) {
  b.push_back((uint8_t)v);
  b.push_back((uint8_t)(v >> 8));
}

inline void AppendU32(Bytes& b, uint32_t v) {
  AppendU16(b, (uint16_t)v);
  AppendU16(b, (uint16_t)(v >> 16));
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

inline Bytes RiffHeader(const char id[4], uint32_t riff_size, const char type[4]) {
  Bytes b(id, id + 4);
  AppendU32(b, riff_size);
  b.insert(b.end(), type, type + 4);
  return b;
}

// "RIFF", 4 + body size, "WAVE", body.
inline Bytes Riff(const Bytes& body) { return Cat({RiffHeader("RIFF", (uint32_t)(4 + body.size()), "WAVE"), body}); }

// A chunk header with the size given, then the body as given (no pad added).
inline Bytes RawChunk(const char name[4], uint32_t size, const Bytes& body) {
  Bytes b(name, name + 4);
  AppendU32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

// A well-formed chunk: the size is the body's, and a pad byte follows an odd body.
inline Bytes Chunk(const char name[4], const Bytes& body) {
  Bytes b = RawChunk(name, (uint32_t)body.size(), body);
  if (body.size() & 1) b.push_back(0);
  return b;
}

// A format body: the 14-byte WAVEfmt and the 2-byte PCMfmt, then `extra`.
inline Bytes FmtBody(uint16_t tag, uint16_t channels, uint16_t block_align, uint16_t bits,
                     const Bytes& extra = Bytes(), uint32_t rate = 24000) {
  Bytes b;
  AppendU16(b, tag);
  AppendU16(b, channels);
  AppendU32(b, rate);
  AppendU32(b, rate * block_align);
  AppendU16(b, block_align);
  AppendU16(b, bits);
  return Cat({b, extra});
}

// A PCM "fmt " chunk; frames of exactly their samples unless `align` is given.
inline Bytes Fmt(uint16_t channels, uint16_t bits, int align = -1) {
  if (align < 0) align = channels * ((bits + 7) / 8);
  return Chunk("fmt ", FmtBody(1, channels, (uint16_t)align, bits));
}

// 16-bit little-endian samples.
inline Bytes Words(const std::vector<int>& samples) {
  Bytes b;
  for (int s : samples) AppendU16(b, (uint16_t)(int16_t)s);
  return b;
}

// A whole 16-bit mono file.
inline Bytes Mono16(const std::vector<int>& samples, uint32_t rate = 24000) {
  return Riff(Cat({Chunk("fmt ", FmtBody(1, 1, 2, 16, {}, rate)), Chunk("data", Words(samples))}));
}

// The worked conversion's file: 16-bit mono samples 0, 8192, -8192 and 4096.
inline Bytes WorkedWav(void) { return Mono16({0, 8192, -8192, 4096}); }

// Pseudo-random bytes that reach every code, with the extremes of both
// sample widths early on.
inline Bytes Noise(size_t n, uint32_t seed) {
  Bytes b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (uint8_t& byte : b) {
    x = x * 1664525u + 1013904223u;
    byte = (uint8_t)(x >> 24);
  }
  const uint8_t extremes[] = {0, 0, 0xFF, 0x7F, 0x00, 0x80, 0xFF, 0xFF, 1, 0};
  if (n >= 16 + sizeof extremes) memcpy(&b[16], extremes, sizeof extremes);
  return b;
}

// ---- Child processes ----

struct RunResult {
  int status;  // exit status, or -1 when the program did not exit
  std::string out, err;
};

inline std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Runs argv[0] (searched in PATH) in `cwd` (unchanged when empty) with
// `env` entries "NAME=value" set and "NAME" removed, stdin from /dev/null.
inline RunResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = "",
                            const std::vector<std::string>& env = {}) {
  std::string tmp = MakeTempDir();
  std::string command = "cd " + Quoted(cwd.empty() ? "." : cwd) + " && exec env";
  for (const std::string& e : env) command += (e.find('=') == std::string::npos ? " -u " : " ") + Quoted(e);
  for (const std::string& a : argv) command += " " + Quoted(a);
  command += " </dev/null >" + Quoted(tmp + "/out") + " 2>" + Quoted(tmp + "/err");
  int status = system(command.c_str());
  Bytes out = ReadBytes(tmp + "/out"), err = ReadBytes(tmp + "/err");
  RemoveTree(tmp);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
          std::string(err.begin(), err.end())};
}

inline Lines SplitLines(const std::string& text) {
  Lines lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// ---- The engine ----

inline Lines ReportLog(void) { return Lines(textline, textline + textlines); }

// Empties the log, puts back the built-in settings, forgets the platform's
// records and sets MyWindow (null when `window` is null).
inline void ResetEngine(HWND window) {
  EraseTextBuffer();
  ResetSettings();
  HeadlessReset();
  MyWindow = window;
  play_after_conversion = 1;
}

// A scratch folder per test, and the converter run in it.
class ScratchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = MakeTempDir();
    ASSERT_FALSE(dir.empty()) << "no scratch folder";
  }
  void TearDown() override { RemoveTree(dir); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  RunResult Quorix(std::vector<std::string> args, const std::vector<std::string>& env = {}) {
    args.insert(args.begin(), QUORIX_CLI);
    return RunProgram(args, dir, env);
  }
  // A shell command line in the folder, $Q standing for the converter.
  RunResult Shell(const std::string& line) { return RunProgram({"sh", "-c", "Q=" QUORIX_CLI "; " + line}, dir); }
  std::string dir;
};

// A fresh engine with a headless window, in a scratch folder.
class EngineTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    window = HeadlessCreateWindow(400, 300);
    ResetEngine(window);
  }
  void TearDown() override {
    ResetEngine(nullptr);
    ReleaseTextBuffer();
    HeadlessDestroyWindow(window);
    ScratchTest::TearDown();
  }
  // Runs ConvertWAVToDMX, ConvertDMXtoWAV or a stand-in on the two names;
  // every way out must leave the cross-hair cursor, after the wait cursor.
  uint32_t Convert(uint32_t (*convert)(void), const std::string& in, const std::string& out) {
    if (in.size() >= NAME_SIZE || out.size() >= NAME_SIZE) {
      ADD_FAILURE() << "file name too long for the engine: " << in << " " << out;
      return 99;
    }
    strcpy(dmxfilename, in.c_str());
    strcpy(output_filename, out.c_str());
    uint32_t result = convert();
    EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS) << "cross-hair cursor not restored";
    EXPECT_GE(HeadlessCursorChanges(), 2) << "no wait cursor while converting";
    return result;
  }

  HWND window = nullptr;
};

// ---- Sound ----

// The AM6070's level for a code in DAC steps (-8031..8031), from the G.711
// segment formula rather than the chord table the program uses:
// |level| = ((2 * step + 33) << chord) - 33.
inline int G711Level(uint8_t code) {
  int magnitude = ((2 * (code & 15) + 33) << ((code >> 4) & 7)) - 33;
  return code & 0x80 ? magnitude : -magnitude;
}

// The frequency at `rate` of s[from, to) from its rising zero crossings,
// interpolated; 0 with fewer than two.
inline double Frequency(const std::vector<float>& s, size_t from, size_t to, double rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = from + 1; i < to && i < s.size(); i++)
    if (s[i - 1] < 0 && s[i] >= 0) {
      last = (double)(i - 1) + s[i - 1] / (s[i - 1] - s[i]);
      if (crossings++ == 0) first = last;
    }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}
