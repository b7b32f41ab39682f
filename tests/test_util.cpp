#include "test_util.h"

#include <fcntl.h>
#include <math.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"

std::string MakeTempDir(void) {
  const char* base = getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/quorix-test-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back(0);
  if (!mkdtemp(buf.data())) return std::string();
  return std::string(buf.data());
}

static int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

void RemoveTree(const std::string& path) {
  if (!path.empty()) nftw(path.c_str(), remove_entry, 16, FTW_DEPTH | FTW_PHYS);
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}

Bytes ReadBytes(const std::string& path) {
  Bytes b;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return b;
  int c;
  while ((c = getc(f)) != EOF) b.push_back((uint8_t)c);
  fclose(f);
  return b;
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
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
              const Bytes& extra, uint32_t rate) {
  Bytes b;
  AppendU16(b, tag);
  AppendU16(b, channels);
  AppendU32(b, rate);
  AppendU32(b, rate * block_align);
  AppendU16(b, block_align);
  AppendU16(b, bits);
  b.insert(b.end(), extra.begin(), extra.end());
  return b;
}

Bytes PcmFmt(uint16_t channels, uint16_t bits) {
  uint16_t align = (uint16_t)(channels * ((bits + 7) / 8));
  return Chunk("fmt ", FmtBody(1, channels, align, bits));
}

Bytes Words(std::initializer_list<int> samples) {
  Bytes b;
  for (int s : samples) AppendU16(b, (uint16_t)(int16_t)s);
  return b;
}

// exp of the magnitude over 23.08, times the signed scale, over 255; the
// sample software of the drum machine multiplied by the two reciprocals.
int32_t RefDecode(int code, int32_t scale) {
  double sign = code & 0x80 ? 1.0 : -1.0;
  return (int32_t)(exp((code & 0x7F) * 0.043327556325823226) * (scale * sign) * 0.00392156862745098);
}

// Magnitude 23.08 ln(1 + 255 |x| / max), truncated and limited to 127; the
// sign bit is set for zero and above.
int RefMuLaw(int32_t x, int32_t max) {
  double a = fabs((double)x / (double)max) * 255.0 + 1.0;
  double m = log(a) * 23.08;
  return (x >= 0 ? 0x80 : 0x00) | (m >= 127.0 ? 127 : (int)m);
}

// 128 + 128 x / max, truncated toward zero, limited to 0 .. 255.
int RefLinear(int32_t x, int32_t max) {
  double v = 128.0 * ((double)x / (double)max);
  if (v >= 128.0) return 255;
  if (v <= -128.0) return 0;
  return 128 + (int)v;
}

Lines ReportLog(void) {
  Lines lines;
  for (int i = 0; i < textlines; i++) lines.push_back(textline[i]);
  return lines;
}

void ResetEngine(HWND window) {
  EraseTextBuffer();
  ResetSettings();
  HeadlessReset();
  MyWindow = window;
  play_after_conversion = 1;
  dmxfilename[0] = 0;
  output_filename[0] = 0;
}

static bool set_names(const std::string& in, const std::string& out) {
  if (in.size() >= NAME_SIZE || out.size() >= NAME_SIZE) return false;
  strcpy(dmxfilename, in.c_str());
  strcpy(output_filename, out.c_str());
  return true;
}

uint32_t RunWavToDmx(const std::string& in, const std::string& out) {
  if (!set_names(in, out)) {
    ADD_FAILURE() << "file name too long for the engine: " << in << " " << out;
    return 99;
  }
  return ConvertWAVToDMX();
}

uint32_t RunDmxToWav(const std::string& in, const std::string& out) {
  if (!set_names(in, out)) {
    ADD_FAILURE() << "file name too long for the engine: " << in << " " << out;
    return 99;
  }
  return ConvertDMXtoWAV();
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
  uint32_t result = RunWavToDmx(Path("in.wav"), Path("out.bin"));
  EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS) << "cross-hair cursor not restored";
  EXPECT_GE(HeadlessCursorChanges(), 2) << "no wait cursor while converting";
  return result;
}

Lines EngineTest::Expect(std::initializer_list<std::string> rest) const {
  Lines lines{"Input file: " + Path("in.wav"), "Output file: " + Path("out.bin")};
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

static std::string slurp_and_remove(const char* path) {
  Bytes b = ReadBytes(path);
  unlink(path);
  return std::string(b.begin(), b.end());
}

RunResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd,
                     const std::vector<std::string>& env) {
  RunResult r{-1, "", ""};
  const char* base = getenv("TMPDIR");
  std::string tmp = base && *base ? base : "/tmp";
  char out_name[512], err_name[512];
  snprintf(out_name, sizeof out_name, "%s/quorix-out-XXXXXX", tmp.c_str());
  snprintf(err_name, sizeof err_name, "%s/quorix-err-XXXXXX", tmp.c_str());
  int out_fd = mkstemp(out_name);
  int err_fd = mkstemp(err_name);
  if (out_fd < 0 || err_fd < 0) return r;

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  fflush(stdout);
  fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(127);
    for (const std::string& e : env) {
      size_t eq = e.find('=');
      if (eq == std::string::npos)
        unsetenv(e.c_str());
      else
        setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    int in_fd = open("/dev/null", O_RDONLY);
    dup2(in_fd, 0);
    dup2(out_fd, 1);
    dup2(err_fd, 2);
    execvp(args[0], args.data());
    _exit(127);
  }
  close(out_fd);
  close(err_fd);
  if (pid > 0) {
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) r.status = WEXITSTATUS(status);
  }
  r.out = slurp_and_remove(out_name);
  r.err = slurp_and_remove(err_name);
  return r;
}

bool HaveProgram(const char* name) {
  const char* path = getenv("PATH");
  std::string p = path ? path : "";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string candidate = p.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}
