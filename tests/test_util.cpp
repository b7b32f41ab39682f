#include "test_util.h"

#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"

std::string MakeTempDir(void) {
  std::string templ = (std::filesystem::temp_directory_path() / "quorix-test-XXXXXX").string();
  return mkdtemp(&templ[0]) ? templ : std::string();
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  if (!path.empty()) std::filesystem::remove_all(path, ignored);
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write((const char*)bytes.data(), (std::streamsize)bytes.size());
  f.close();
  return !f.fail();
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool ReadFileText(const std::string& path, std::string* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

bool WriteFileText(const std::string& path, const std::string& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(data.data(), (std::streamsize)data.size());
  f.close();
  return !f.fail();
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(path, ignored);
}

void AppendU16(Bytes& b, uint16_t v) {
  b.push_back((uint8_t)v);
  b.push_back((uint8_t)(v >> 8));
}

void AppendU32(Bytes& b, uint32_t v) {
  AppendU16(b, (uint16_t)v);
  AppendU16(b, (uint16_t)(v >> 16));
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

Bytes RiffHeader(const char id[4], uint32_t riff_size, const char type[4]) {
  Bytes b(id, id + 4);
  AppendU32(b, riff_size);
  b.insert(b.end(), type, type + 4);
  return b;
}

Bytes Riff(const Bytes& body) {
  return Cat({RiffHeader("RIFF", (uint32_t)(4 + body.size()), "WAVE"), body});
}

Bytes RawChunk(const char name[4], uint32_t size, const Bytes& body) {
  Bytes b(name, name + 4);
  AppendU32(b, size);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}

Bytes Chunk(const char name[4], const Bytes& body) {
  Bytes b = RawChunk(name, (uint32_t)body.size(), body);
  if (body.size() & 1) b.push_back(0);
  return b;
}

Bytes FmtBody(uint16_t tag, uint16_t channels, uint16_t block_align, uint16_t bits,
              const Bytes& extra) {
  Bytes b;
  AppendU16(b, tag);
  AppendU16(b, channels);
  AppendU32(b, 24000);
  AppendU32(b, 24000u * block_align);
  AppendU16(b, block_align);
  AppendU16(b, bits);
  b.insert(b.end(), extra.begin(), extra.end());
  return b;
}

Bytes PcmFmt(uint16_t channels, uint16_t bits) {
  return Chunk("fmt ", FmtBody(1, channels, (uint16_t)(channels * ((bits + 7) / 8)), bits));
}

Bytes Words(std::initializer_list<int> samples) {
  Bytes b;
  for (int s : samples) AppendU16(b, (uint16_t)(int16_t)s);
  return b;
}

Bytes Noise(size_t n, uint32_t seed) {
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

Lines ReportLog(void) { return Lines(textline, textline + textlines); }

void ResetEngine(HWND window) {
  EraseTextBuffer();
  ResetSettings();
  HeadlessReset();
  MyWindow = window;
  play_after_conversion = 1;
}

uint32_t RunConversion(uint32_t (*convert)(void), const std::string& in, const std::string& out) {
  if (in.size() >= NAME_SIZE || out.size() >= NAME_SIZE) {
    ADD_FAILURE() << "file name too long for the engine: " << in << " " << out;
    return 99;
  }
  strcpy(dmxfilename, in.c_str());
  strcpy(output_filename, out.c_str());
  return convert();
}

void EngineTest::SetUp() {
  dir = MakeTempDir();
  ASSERT_FALSE(dir.empty()) << "no scratch directory";
  window = HeadlessCreateWindow(400, 300);
  ResetEngine(window);
}

void EngineTest::TearDown() {
  ResetEngine(nullptr);
  HeadlessDestroyWindow(window);
  RemoveTree(dir);
}

uint32_t EngineTest::ConvertWav(const Bytes& wav) {
  EXPECT_TRUE(WriteBytes(Path("in.wav"), wav));
  uint32_t result = RunConversion(ConvertWAVToDMX, Path("in.wav"), Path("out.bin"));
  EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS) << "cross-hair cursor not restored";
  EXPECT_GE(HeadlessCursorChanges(), 2) << "no wait cursor while converting";
  return result;
}

static std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

RunResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd,
                     const std::vector<std::string>& env) {
  std::string tmp = MakeTempDir();
  std::string command = "cd " + quoted(cwd.empty() ? "." : cwd) + " && exec env";
  for (const std::string& e : env)
    command += (e.find('=') == std::string::npos ? " -u " : " ") + quoted(e);
  for (const std::string& a : argv) command += " " + quoted(a);
  command += " </dev/null >" + quoted(tmp + "/out") + " 2>" + quoted(tmp + "/err");
  int status = system(command.c_str());
  Bytes out = ReadBytes(tmp + "/out"), err = ReadBytes(tmp + "/err");
  RemoveTree(tmp);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(out.begin(), out.end()),
          std::string(err.begin(), err.end())};
}

bool HaveProgram(const char* name) {
  return system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = std::min(text.find('\n', start), text.size());
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}
