// Shared by the unit tests: scratch folders, hand-built WAV files, a clean engine, child processes.
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

// Its name holds printf conversions, to show that names are printed, never interpreted.
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

// `change` applied to a name buffer holding `text`; nothing may be written past its 128 bytes.
template <typename Change>
std::string Guarded(const std::string& text, Change change) {
  char buf[NAME_SIZE + 16];
  memset(buf, 0x5A, sizeof buf);
  strcpy(buf, text.c_str());
  change(buf);
  for (size_t i = NAME_SIZE; i < sizeof buf; i++) EXPECT_EQ(buf[i], 0x5A) << "written past the name";
  return buf;
}

// ---- WAV files by hand: every size explicit, so broken files are as easy as good ones ----

inline void AppendU16(Bytes& b, uint16_t v) { b.insert(b.end(), {(uint8_t)v, (uint8_t)(v >> 8)}); }
inline void AppendU32(Bytes& b, uint32_t v) { AppendU16(b, (uint16_t)v), AppendU16(b, (uint16_t)(v >> 16)); }

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

inline Bytes Riff(const Bytes& body) { return Cat({RiffHeader("RIFF", (uint32_t)(4 + body.size()), "WAVE"), body}); }

// The size as given, no pad byte added.
inline Bytes RawChunk(const char name[4], uint32_t size, const Bytes& body) {
  Bytes b(name, name + 4);
  AppendU32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

inline Bytes Chunk(const char name[4], const Bytes& body) {
  Bytes b = RawChunk(name, (uint32_t)body.size(), body);
  if (body.size() & 1) b.push_back(0);
  return b;
}

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

inline Bytes Fmt(uint16_t channels, uint16_t bits, int align = -1) {
  if (align < 0) align = channels * ((bits + 7) / 8);
  return Chunk("fmt ", FmtBody(1, channels, (uint16_t)align, bits));
}

inline Bytes Words(const std::vector<int>& samples) {
  Bytes b;
  for (int s : samples) AppendU16(b, (uint16_t)(int16_t)s);
  return b;
}

inline Bytes Mono16(const std::vector<int>& samples, uint32_t rate = 24000) {
  return Riff(Cat({Chunk("fmt ", FmtBody(1, 1, 2, 16, {}, rate)), Chunk("data", Words(samples))}));
}

// The worked conversion's file: 16-bit mono samples 0, 8192, -8192 and 4096.
inline Bytes WorkedWav(void) { return Mono16({0, 8192, -8192, 4096}); }

// Pseudo-random bytes, with the extremes of both sample widths early on.
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

struct RunResult {
  int status;  // exit status, or -1 when the program did not exit
  std::string out, err;
};

// In `cwd` (unchanged when empty), `env` entries "NAME=value" set and "NAME" removed.
inline RunResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = "",
                            const std::vector<std::string>& env = {}) {
  auto Quoted = [](const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  };
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

inline Lines ReportLog(void) { return Lines(textline, textline + textlines); }

inline void ResetEngine(HWND window) {
  EraseTextBuffer();
  ResetSettings();
  HeadlessReset();
  MyWindow = window;
  play_after_conversion = 1;
}

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
  std::string dir;
};

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
  // Every way out must leave the cross-hair cursor, after the wait cursor.
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

// The AM6070's level in DAC steps from the G.711 formula, not the program's table.
inline int G711Level(uint8_t code) {
  int magnitude = ((2 * (code & 15) + 33) << ((code >> 4) & 7)) - 33;
  return code & 0x80 ? magnitude : -magnitude;
}
