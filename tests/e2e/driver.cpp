// End-to-end tests of QUORIX.exe: this console program starts the real
// program, drives it only the way a user can (menu commands, the common file
// dialogs, the rate dialog's edit box, message boxes, a click, the close
// box) and checks what the user sees or gets: dialogs and their texts, the
// report drawn in the window, the files written, quorix.ini.
//
//   quorix_e2e QUORIX.exe QUORIX32.exe DATA WORK ARTIFACTS [NAME...]
//
// DATA holds the inputs and the expected outputs made by the command-line
// converter; WORK is a scratch folder (one sub-folder per test); ARTIFACTS
// receives the screenshot request and, for a failed report check, the
// pictures compared. NAME runs only the tests whose name contains it.
#include <windows.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

typedef std::vector<std::string> Lines;

std::string g_exe;       // QUORIX.exe under test (the build this machine runs)
std::string g_exe32;     // the 32-bit release build: its resources are checked
std::string g_data;      // inputs and expected outputs
std::string g_work;      // scratch root
std::string g_artifacts;
std::string g_case;      // name of the running test
std::string g_dir;       // its scratch folder
std::string g_error;     // first failure of the running test

// ---- Failures ---------------------------------------------------------------

void FailAt(int line, const char* format, ...) __attribute__((format(printf, 2, 3)));
void FailAt(int line, const char* format, ...) {
  if (!g_error.empty()) return;
  char text[2048];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  char where[32];
  snprintf(where, sizeof where, "line %d: ", line);
  g_error = std::string(where) + text;
}

#define REQUIRE(cond, ...)          \
  do {                              \
    if (!(cond)) {                  \
      FailAt(__LINE__, __VA_ARGS__); \
      return;                       \
    }                               \
  } while (0)

#define REQUIRE_STR(actual, expected, what)                                              \
  do {                                                                                   \
    std::string a_ = (actual), e_ = (expected);                                          \
    if (a_ != e_) {                                                                      \
      FailAt(__LINE__, "%s: got \"%s\", expected \"%s\"", what, a_.c_str(), e_.c_str()); \
      return;                                                                            \
    }                                                                                    \
  } while (0)

// ---- Time and messages --------------------------------------------------------

// Waits while keeping this program's own windows (the reference view) alive.
void PumpSleep(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// ---- Files -------------------------------------------------------------------

std::string Join(const std::string& dir, const std::string& name) { return dir + "\\" + name; }

bool ReadWhole(const std::string& path, std::string* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  char buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  fclose(f);
  return true;
}

bool WriteWhole(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
  return fclose(f) == 0 && ok;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string DataFile(const char* name) {
  std::string data;
  ReadWhole(Join(g_data, name), &data);
  return data;
}

bool CopyData(const char* name, const std::string& to) {
  return CopyFileA(Join(g_data, name).c_str(), to.c_str(), FALSE) != 0;
}

// The names in a folder, exactly as stored (letter case included).
std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA(Join(dir, "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (strcmp(fd.cFileName, ".") && strcmp(fd.cFileName, "..")) names.insert(fd.cFileName);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return names;
}

std::string Show(const std::set<std::string>& names) {
  std::string s;
  for (const std::string& n : names) s += (s.empty() ? "" : ", ") + n;
  return "{" + s + "}";
}

FILETIME WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA a;
  FILETIME none = {0, 0};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &a)) return none;
  return a.ftLastWriteTime;
}

bool SameTime(FILETIME a, FILETIME b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// quorix.ini as the program writes it: text mode, so CR LF line ends.
std::string IniText(const std::string& last_played, const char* rate_field) {
  std::string s = "* Automatically generated configuration file for QUORIX\r\n\r\n";
  if (!last_played.empty()) s += "LAST_PLAYED_FILE = " + last_played + "\r\n";
  s += "MU_LAW = 1\r\nINVERT = 0\r\nPAD_FIRST_TWO_BYTES = 1\r\nAUTOSCALE = 0\r\n";
  s += "ROM_SIZE_INDEX = 1\r\nEIGHTBIT = 0\r\n";
  s += std::string("SAMPLE_RATE = ") + rate_field + "\r\n";
  return s;
}

// ---- The program under test -------------------------------------------------

struct App {
  PROCESS_INFORMATION pi;
  HWND main;
  bool running;
} g_app;

struct Find {
  DWORD pid;
  const char* cls;
  const char* title;
  HWND owner;
  bool any_owner;
  HWND found;
};

std::string ClassOf(HWND h) {
  char buf[256] = "";
  GetClassNameA(h, buf, sizeof buf);
  return buf;
}

// Text of a window of the program, asked of the window itself.
std::string TextOf(HWND h) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutA(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len)) return "<no answer>";
  std::vector<char> buf(len + 1, 0);
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutA(h, WM_GETTEXT, len + 1, (LPARAM)buf.data(), SMTO_ABORTIFHUNG, 5000, &got))
    return "<no answer>";
  return std::string(buf.data());
}

BOOL CALLBACK FindProc(HWND h, LPARAM lp) {
  Find* f = (Find*)lp;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (pid != f->pid || !IsWindowVisible(h)) return TRUE;
  if (f->cls && ClassOf(h) != f->cls) return TRUE;
  if (!f->any_owner && GetWindow(h, GW_OWNER) != f->owner) return TRUE;
  if (f->title) {
    char buf[512] = "";
    GetWindowTextA(h, buf, sizeof buf);
    if (strcmp(buf, f->title)) return TRUE;
  }
  f->found = h;
  return FALSE;
}

// A visible top-level window of the program: by class, title (null: any)
// and owner (any when `any_owner`).
HWND FindAppWindow(const char* cls, const char* title, HWND owner, bool any_owner) {
  Find f = {g_app.pi.dwProcessId, cls, title, owner, any_owner, NULL};
  EnumWindows(FindProc, (LPARAM)&f);
  return f.found;
}

HWND WaitAppWindow(const char* cls, const char* title, HWND owner, bool any_owner,
                   DWORD timeout = 10000) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND h = FindAppWindow(cls, title, owner, any_owner);
    if (h) return h;
    if (GetTickCount() - start > timeout) return NULL;
    PumpSleep(30);
  }
}

bool WaitGone(HWND h, DWORD timeout = 10000) {
  DWORD start = GetTickCount();
  while (IsWindow(h) && IsWindowVisible(h)) {
    if (GetTickCount() - start > timeout) return false;
    PumpSleep(20);
  }
  return true;
}

// Returns once the program has handled everything sent before: its thread
// answers only from its message loop (or a modal one), never in the middle
// of a command.
bool Sync() {
  DWORD_PTR r;
  return SendMessageTimeoutA(g_app.main, WM_NULL, 0, 0, SMTO_NORMAL, 20000, &r) != 0;
}

// Environment of the program: ours, with QUORIX_PATH set as asked (null:
// removed).
std::vector<char> Environment(const char* quorix_path) {
  std::vector<char> env;
  char* block = GetEnvironmentStringsA();
  for (char* p = block; *p; p += strlen(p) + 1) {
    if (_strnicmp(p, "QUORIX_PATH=", 12) == 0) continue;
    env.insert(env.end(), p, p + strlen(p) + 1);
  }
  FreeEnvironmentStringsA(block);
  if (quorix_path) {
    std::string v = std::string("QUORIX_PATH=") + quorix_path;
    env.insert(env.end(), v.c_str(), v.c_str() + v.size() + 1);
  }
  env.push_back(0);
  return env;
}

bool StartApp(const char* quorix_path, const std::string& cwd) {
  std::vector<char> env = Environment(quorix_path);
  STARTUPINFOA si;
  memset(&si, 0, sizeof si);
  si.cb = sizeof si;
  std::string cmd = "\"" + g_exe + "\"";
  std::vector<char> cmdline(cmd.begin(), cmd.end());
  cmdline.push_back(0);
  memset(&g_app, 0, sizeof g_app);
  if (!CreateProcessA(g_exe.c_str(), cmdline.data(), NULL, NULL, FALSE, 0, env.data(), cwd.c_str(),
                      &si, &g_app.pi))
    return false;
  g_app.running = true;
  WaitForInputIdle(g_app.pi.hProcess, 10000);
  g_app.main = WaitAppWindow("QUORIX", "Waveform conversion program", NULL, true);
  return g_app.main != NULL && Sync();
}

bool StartInCaseDir() { return StartApp(g_dir.c_str(), g_dir); }

// Waits for the program to end; its exit code, or -1 when it did not end.
int WaitExit(DWORD timeout = 10000) {
  if (WaitForSingleObject(g_app.pi.hProcess, timeout) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(g_app.pi.hProcess, &code);
  CloseHandle(g_app.pi.hProcess);
  CloseHandle(g_app.pi.hThread);
  g_app.running = false;
  return (int)code;
}

void StopApp() {
  if (!g_app.running) return;
  TerminateProcess(g_app.pi.hProcess, 99);
  WaitForSingleObject(g_app.pi.hProcess, 10000);
  CloseHandle(g_app.pi.hProcess);
  CloseHandle(g_app.pi.hThread);
  g_app.running = false;
}

void Command(unsigned id) { PostMessageA(g_app.main, WM_COMMAND, id, 0); }

// A press of a button of a dialog, the way the dialog hears of a click.
void Press(HWND dlg, int id) {
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dlg, id));
}

// The close box of the main window.
void CloseBox(HWND h) { PostMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); }

void Click(int x, int y) {
  PostMessageA(g_app.main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(g_app.main, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

bool SetText(HWND h, const std::string& text) {
  DWORD_PTR r;
  return SendMessageTimeoutA(h, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG, 5000, &r) != 0;
}

// The file name box of the common file dialogs.
const int kFileNameBox = 0x47c;

HWND FileDialog(const char* title) { return WaitAppWindow("#32770", title, g_app.main, false); }

std::string FileBox(HWND dlg) { return TextOf(GetDlgItem(dlg, kFileNameBox)); }

// Types a name into a file dialog and confirms it.
bool Choose(HWND dlg, const std::string& name) {
  if (!SetText(GetDlgItem(dlg, kFileNameBox), name)) return false;
  Press(dlg, IDOK);
  return true;
}

std::string BoxText(HWND box) { return TextOf(GetDlgItem(box, 0xFFFF)); }

// ---- The report as drawn -----------------------------------------------------
//
// A reference window of ours, of the program's client size, draws the
// expected lines exactly as the program draws its report; both are then
// read back from the screen and compared pixel for pixel.

Lines g_ref_lines;
int g_ref_first;
HWND g_ref;

// The report font written out here again on purpose: the expected picture
// must not come from the program's own code, or a wrong font would pass.
LOGFONTA ReportFont() {
  LOGFONTA lf;
  memset(&lf, 0, sizeof lf);
  lf.lfHeight = -13;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfOutPrecision = OUT_STROKE_PRECIS;
  lf.lfClipPrecision = CLIP_STROKE_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  strcpy(lf.lfFaceName, "Courier New");
  return lf;
}

int g_pitch;  // line pitch of the report font

LRESULT CALLBACK RefProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_PAINT) return DefWindowProcA(h, msg, wp, lp);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  LOGFONTA lf = ReportFont();
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA tm;
  if (GetTextMetricsA(dc, &tm)) g_pitch = tm.tmHeight + tm.tmExternalLeading;
  RECT rc;
  GetClientRect(h, &rc);
  int y = 5;
  for (int i = g_ref_first; i < (int)g_ref_lines.size() && y <= rc.bottom; i++) {
    SetTextColor(dc, 0);
    TextOutA(dc, 5, y, g_ref_lines[i].c_str(), (int)g_ref_lines[i].size());
    y += g_pitch;
  }
  SelectObject(dc, old);
  DeleteObject(font);
  EndPaint(h, &ps);
  return 0;
}

void CreateReference() {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = RefProc;
  wc.hInstance = GetModuleHandleA(NULL);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszClassName = "QuorixExpectedReport";
  RegisterClassA(&wc);
  g_ref = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, "", WS_POPUP, 0,
                          700, 100, 100, NULL, NULL, wc.hInstance, NULL);
  ShowWindow(g_ref, SW_SHOWNOACTIVATE);
  UpdateWindow(g_ref);
}

struct Picture {
  int w, h;
  std::vector<uint32_t> px;
};

Picture Capture(int x, int y, int w, int h) {
  Picture p = {w, h, {}};
  HDC screen = GetDC(NULL);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi;
  memset(&bi, 0, sizeof bi);
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, w, h, screen, x, y, SRCCOPY);
  GdiFlush();
  const uint32_t* src = (const uint32_t*)bits;
  p.px.resize((size_t)w * h);
  for (size_t i = 0; i < p.px.size(); i++) p.px[i] = src[i] & 0xFFFFFF;
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(NULL, screen);
  return p;
}

Picture CaptureClient(HWND h) {
  RECT rc;
  GetClientRect(h, &rc);
  POINT o = {0, 0};
  ClientToScreen(h, &o);
  return Capture(o.x, o.y, rc.right, rc.bottom);
}

void SaveBmp(const std::string& path, const Picture& p) {
  BITMAPFILEHEADER fh;
  BITMAPINFOHEADER ih;
  memset(&fh, 0, sizeof fh);
  memset(&ih, 0, sizeof ih);
  DWORD bytes = (DWORD)(p.px.size() * 4);
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof fh + sizeof ih;
  fh.bfSize = fh.bfOffBits + bytes;
  ih.biSize = sizeof ih;
  ih.biWidth = p.w;
  ih.biHeight = -p.h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  std::string data((const char*)&fh, sizeof fh);
  data.append((const char*)&ih, sizeof ih);
  data.append((const char*)p.px.data(), bytes);
  WriteWhole(path, data);
}

// Lines per page of the program's view, worked out as the program does.
int PageLines() {
  RECT rc;
  GetClientRect(g_app.main, &rc);
  int page = g_pitch > 0 ? rc.bottom / g_pitch : 1;
  return page < 1 ? 1 : page;
}

// Sizes the main window the way a user would drag its frame, wide enough
// for a line of the longest file name.
void WidenWindow() { SetWindowPos(g_app.main, NULL, 0, 0, 1500, 240, SWP_NOMOVE | SWP_NOZORDER); }

// Checks that the program's window shows `lines` from index `first` on its
// top row, exactly as drawn by the reference. Polls for a while: the
// program paints when its message loop gets to it.
bool ReportShows(const Lines& lines, int first, const char* tag) {
  Picture got, want;
  DWORD start = GetTickCount();
  for (;;) {
    RECT rc, frame;
    GetClientRect(g_app.main, &rc);
    GetWindowRect(g_app.main, &frame);
    g_ref_lines = lines;
    g_ref_first = first;
    // Beside the program's window, never over it.
    int y = frame.bottom + 20;
    if (y + rc.bottom > GetSystemMetrics(SM_CYSCREEN)) y = frame.top - rc.bottom - 20;
    SetWindowPos(g_ref, HWND_TOPMOST, 0, y, rc.right, rc.bottom, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    RedrawWindow(g_ref, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpSleep(30);
    got = CaptureClient(g_app.main);
    want = CaptureClient(g_ref);
    if (got.w == want.w && got.h == want.h && got.px == want.px) return true;
    if (GetTickCount() - start > 8000) break;
    PumpSleep(200);
  }
  std::string base = Join(g_artifacts, g_case + "-" + tag);
  SaveBmp(base + "-shown.bmp", got);
  SaveBmp(base + "-expected.bmp", want);
  return false;
}

#define REQUIRE_REPORT(lines, first, tag)                                                   \
  REQUIRE(ReportShows(lines, first, tag),                                                   \
          "the window does not show the expected report (%s); see %s-%s-*.bmp", tag,        \
          g_case.c_str(), tag)

// ---- Screenshot ---------------------------------------------------------------

// Asks the test script for a screenshot of the main window and waits for it.
bool Screenshot(const char* name) {
  RECT r;
  GetWindowRect(g_app.main, &r);
  char req[256];
  snprintf(req, sizeof req, "%s %ldx%ld+%ld+%ld\n", name, r.right - r.left, r.bottom - r.top, r.left,
           r.top);
  std::string done = Join(g_artifacts, "screenshot.done");
  DeleteFileA(done.c_str());
  std::string tmp = Join(g_artifacts, "screenshot.tmp");
  if (!WriteWhole(tmp, req) || !MoveFileA(tmp.c_str(), Join(g_artifacts, "screenshot.req").c_str()))
    return false;
  DWORD start = GetTickCount();
  while (!Exists(done)) {
    if (GetTickCount() - start > 20000) return false;
    PumpSleep(100);
  }
  DeleteFileA(done.c_str());
  return true;
}

// ---- Steps shared by the tests -----------------------------------------------

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

// The report of an image-to-WAV conversion that finished.
Lines DmxReport(const std::string& in, const std::string& out, long samples, double rate) {
  return {"Input file: " + in,
          "Output file: " + out,
          Fmt("Input file length = %ld", samples),
          Fmt("Sample rate = %.0f Hz, duration = %.3f seconds", rate, samples / rate),
          "Finished.",
          "Playing file: " + out};
}

// The report of a WAV-to-image conversion, as the command-line converter
// printed it for the same input, with the program's file names.
Lines WavReport(const std::string& in, const std::string& out) {
  Lines lines;
  std::string text = DataFile("wav2dmx-report.txt");
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "Input file: kick.wav") line = "Input file: " + in;
    if (line == "Output file: cli.bin") line = "Output file: " + out;
    lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

long ImageSamples() { return (long)DataFile("kick.bin").size(); }

// One whole conversion through both dialogs. `typed` goes into the save
// dialog's name box; an empty one keeps the proposal, which must read
// `proposal`.
void Convert(unsigned command, const std::string& input, const char* proposal,
             const std::string& typed) {
  bool to_wav = command == IDM_DMX_TO_WAV;
  HWND open = FileDialog(to_wav ? "Select DMX EPROM image" : "Select WAV file");
  REQUIRE(open, "no open dialog");
  REQUIRE_STR(FileBox(open), "", "name box of the open dialog");
  REQUIRE(Choose(open, input), "could not fill the open dialog");
  REQUIRE(WaitGone(open), "the open dialog stayed");
  HWND save =
      FileDialog(to_wav ? "Select name for WAV output file" : "Select name for DMX output file");
  REQUIRE(save, "no save dialog");
  REQUIRE_STR(FileBox(save), proposal, "proposed output name");
  if (!typed.empty()) REQUIRE(SetText(GetDlgItem(save, kFileNameBox), typed), "typing");
  Press(save, IDOK);
  REQUIRE(WaitGone(save), "the save dialog stayed");
  REQUIRE(Sync(), "the program does not answer after the conversion");
}

void ConvertImage(const std::string& input, const char* proposal, const std::string& typed) {
  Command(IDM_DMX_TO_WAV);
  Convert(IDM_DMX_TO_WAV, input, proposal, typed);
}

void ConvertWav(const std::string& input, const char* proposal, const std::string& typed) {
  Command(IDM_WAV_TO_DMX);
  Convert(IDM_WAV_TO_DMX, input, proposal, typed);
}

void ExpectFile(const std::string& path, const char* expected_data_file, int line) {
  std::string got;
  if (!ReadWhole(path, &got)) return FailAt(line, "%s was not written", path.c_str());
  if (got != DataFile(expected_data_file))
    FailAt(line, "%s differs from %s (%u bytes, expected %u)", path.c_str(), expected_data_file,
           (unsigned)got.size(), (unsigned)DataFile(expected_data_file).size());
}
#define REQUIRE_FILE(path, expected)        \
  do {                                      \
    ExpectFile(path, expected, __LINE__);   \
    if (!g_error.empty()) return;           \
  } while (0)

void ExpectIni(const std::string& expected, int line) {
  std::string got;
  std::string path = Join(g_dir, "quorix.ini");
  if (!ReadWhole(path, &got)) return FailAt(line, "quorix.ini was not written");
  if (got != expected)
    FailAt(line, "quorix.ini reads:\n%s\nexpected:\n%s", got.c_str(), expected.c_str());
  if (Exists(path + ".new")) FailAt(line, "quorix.ini.new was left behind");
}
#define REQUIRE_INI(expected)           \
  do {                                  \
    ExpectIni(expected, __LINE__);      \
    if (!g_error.empty()) return;       \
  } while (0)

// Opens the rate dialog and returns it with the text its edit box shows.
HWND OpenRateDialog(std::string* shown) {
  Command(IDM_OPTIONS);
  HWND dlg = WaitAppWindow("#32770", "DMX to WAV Conversion Options", g_app.main, false);
  if (dlg) *shown = TextOf(GetDlgItem(dlg, IDC_RATE));
  return dlg;
}

void SetRate(const char* text) {
  std::string shown;
  HWND dlg = OpenRateDialog(&shown);
  REQUIRE(dlg, "no rate dialog");
  REQUIRE(SetText(GetDlgItem(dlg, IDC_RATE), text), "typing the rate");
  Press(dlg, IDOK);
  REQUIRE(WaitGone(dlg), "the rate dialog stayed after OK with %s", text);
  REQUIRE(Sync(), "no answer");
}

void ExpectRateShown(const char* expected) {
  std::string shown;
  HWND dlg = OpenRateDialog(&shown);
  REQUIRE(dlg, "no rate dialog");
  Press(dlg, IDCANCEL);
  REQUIRE(WaitGone(dlg), "the rate dialog stayed after Cancel");
  REQUIRE_STR(shown, expected, "rate shown by the dialog");
}

// Runs a checking step; the test stops at its first failure.
#define STEP(call)                 \
  do {                             \
    call;                          \
    if (!g_error.empty()) return;  \
  } while (0)

std::string ForwardSlashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

std::string AboutText(const std::string& configfile) {
  return "Waveform conversion program\n\n"
         "Drum voices between WAV files and EPROM images, for the\n"
         "Oberheim DMX and for drum machines with linear samples.\n\n"
         "Version 1.02\n"
         "Configuration file = " +
         configfile + "\n";
}

void ExpectAbout(const std::string& configfile) {
  Command(IDM_ABOUT);
  HWND box = WaitAppWindow("#32770", "QUORIX", g_app.main, false);
  REQUIRE(box, "no About box");
  std::string text = BoxText(box);
  Press(box, IDOK);
  REQUIRE(WaitGone(box), "the About box stayed");
  REQUIRE_STR(text, AboutText(configfile), "About text");
}

void Exit() {
  Command(IDM_EXIT);
  int code = WaitExit();
  REQUIRE(code == 0, "Exit: the program ended with %d", code);
}

void CloseWithBox() {
  CloseBox(g_app.main);
  int code = WaitExit();
  REQUIRE(code == 0, "close box: the program ended with %d", code);
}

// ---- The tests ---------------------------------------------------------------

void TestStartsWithAnEmptyReport() {
  REQUIRE(StartInCaseDir(), "the program did not start");
  RECT r;
  GetWindowRect(g_app.main, &r);
  REQUIRE(r.right - r.left == 480 && r.bottom - r.top == 240, "window of %ldx%ld, not 480x240",
          r.right - r.left, r.bottom - r.top);
  LONG style = GetWindowLongA(g_app.main, GWL_STYLE);
  REQUIRE((style & WS_OVERLAPPEDWINDOW) == WS_OVERLAPPEDWINDOW, "style %08lx", (long)style);
  REQUIRE(style & WS_VSCROLL, "no vertical scroll bar");
  REQUIRE(GetMenu(g_app.main) != NULL, "no menu bar");
  // Resizing repaints the whole report, in either direction.
  DWORD cls_style = GetClassLongA(g_app.main, GCL_STYLE);
  REQUIRE(cls_style == (CS_VREDRAW | CS_HREDRAW), "class style %08lx", (unsigned long)cls_style);
  REQUIRE_REPORT(Lines(), 0, "empty");
  STEP(Exit());
  REQUIRE(Listing(g_dir).empty(), "files left: %s", Show(Listing(g_dir)).c_str());
}

void TestImageToWavThroughTheDialogs() {
  std::string in = Join(g_dir, "KICK.BIN"), out = Join(g_dir, "OUT.wav");
  REQUIRE(CopyData("kick.bin", in), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(ConvertImage(in, "KICK.wav", "OUT"));
  REQUIRE_FILE(out, "expected-24000.wav");
  Lines report = DmxReport(in, out, ImageSamples(), 24000);
  REQUIRE_REPORT(report, 0, "report");
  // Widened, the window shows every line whole.
  WidenWindow();
  REQUIRE_REPORT(report, 0, "report-wide");
  STEP(CloseWithBox());
  REQUIRE_INI(IniText(out, "   24000"));
}

void TestImageToWavExtensionRules() {
  std::string in = Join(g_dir, "KICK.BIN");
  REQUIRE(CopyData("kick.bin", in), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  const char* typed[][2] = {
      {"OUT.WAV", "OUT.WAV"}, {"OUT.bin", "OUT.bin.wav"}, {"OUT.wave", "OUT.wave.wav"}};
  std::set<std::string> names = {"KICK.BIN"};
  for (auto& t : typed) {
    STEP(ConvertImage(in, "KICK.wav", t[0]));
    names.insert(t[1]);
    REQUIRE(Listing(g_dir) == names, "after typing %s the folder holds %s", t[0],
            Show(Listing(g_dir)).c_str());
    REQUIRE_FILE(Join(g_dir, t[1]), "expected-24000.wav");
  }
  STEP(Exit());
  REQUIRE_INI(IniText(Join(g_dir, "OUT.wave.wav"), "   24000"));
}

void TestProposalCutsAtTheFirstDotOfThePath() {
  std::string sub = Join(g_dir, "MY.DIR");
  REQUIRE(CreateDirectoryA(sub.c_str(), NULL), "mkdir");
  REQUIRE(CopyData("kick.bin", Join(sub, "KICK.BIN")), "copy");
  REQUIRE(CopyData("kick.bin", Join(g_dir, "KICKIMG")), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  // Z:\...\MY.DIR\KICK.BIN is cut at the dot of the folder: Z:\...\MY.wav.
  STEP(ConvertImage(Join(sub, "KICK.BIN"), "MY.wav", ""));
  REQUIRE_FILE(Join(g_dir, "MY.wav"), "expected-24000.wav");
  // A name without any dot gets the extension added.
  STEP(ConvertImage(Join(g_dir, "KICKIMG"), "KICKIMG.wav", ""));
  REQUIRE_FILE(Join(g_dir, "KICKIMG.wav"), "expected-24000.wav");
  STEP(Exit());
}

void TestWavToImageThroughTheDialogs() {
  // A short folder, so that the screenshot shows the names whole.
  g_dir = Join(g_work, "drums");
  REQUIRE(CreateDirectoryA(g_dir.c_str(), NULL), "mkdir");
  std::string in = Join(g_dir, "KICK.WAV"), out = Join(g_dir, "OUT.bin");
  REQUIRE(CopyData("kick.wav", in), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(ConvertWav(in, "KICK.bin", "OUT"));
  REQUIRE_FILE(out, "kick.bin");
  Lines report = WavReport(in, out);
  REQUIRE_REPORT(report, 0, "report");
  REQUIRE(Screenshot("main-window.png"), "no screenshot was taken");

  // Paging: page down puts the last line on the top row at most; line up
  // goes back by one.
  int n = (int)report.size();
  int page = PageLines();
  int first = std::min(page, n - 1);
  PostMessageA(g_app.main, WM_VSCROLL, SB_PAGEDOWN, 0);
  REQUIRE_REPORT(report, first, "page-down");
  PostMessageA(g_app.main, WM_VSCROLL, SB_LINEUP, 0);
  REQUIRE_REPORT(report, first - 1, "line-up");
  PostMessageA(g_app.main, WM_VSCROLL, SB_PAGEUP, 0);
  REQUIRE_REPORT(report, 0, "page-up");
  WidenWindow();
  REQUIRE_REPORT(report, 0, "report-wide");

  // The extension rules with ".bin".
  const char* typed[][2] = {{"OUT.BIN", "OUT.BIN"}, {"OUT.wav", "OUT.wav.bin"}};
  for (auto& t : typed) {
    REQUIRE(DeleteFileA(out.c_str()) || !Exists(out), "delete");
    out = Join(g_dir, t[1]);
    STEP(ConvertWav(in, "KICK.bin", t[0]));
    std::set<std::string> names = {"KICK.WAV", t[1]};
    REQUIRE(Listing(g_dir) == names, "after typing %s the folder holds %s", t[0],
            Show(Listing(g_dir)).c_str());
    REQUIRE_FILE(out, "kick.bin");
  }
  // A WAV-to-image conversion plays nothing, so nothing is to be saved.
  STEP(Exit());
  REQUIRE(!Exists(Join(g_dir, "quorix.ini")), "quorix.ini written without a change");
}

void TestCancelInEitherDialog() {
  std::string bin = Join(g_dir, "KICK.BIN"), wav = Join(g_dir, "KICK.WAV");
  std::string out = Join(g_dir, "OUT.wav");
  REQUIRE(CopyData("kick.bin", bin) && CopyData("kick.wav", wav), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(ConvertImage(bin, "KICK.wav", "OUT"));
  Lines report = DmxReport(bin, out, ImageSamples(), 24000);
  std::set<std::string> names = Listing(g_dir);

  struct {
    unsigned command;
    const char* open_title;
    const char* input;
    const char* save_title;
  } cases[] = {
      {IDM_DMX_TO_WAV, "Select DMX EPROM image", "KICK.BIN", "Select name for WAV output file"},
      {IDM_WAV_TO_DMX, "Select WAV file", "KICK.WAV", "Select name for DMX output file"},
  };
  for (auto& c : cases) {
    // Cancel in the open dialog: no save dialog follows.
    Command(c.command);
    HWND open = FileDialog(c.open_title);
    REQUIRE(open, "no open dialog");
    Press(open, IDCANCEL);
    REQUIRE(WaitGone(open), "the open dialog stayed");
    REQUIRE(Sync(), "no answer");
    REQUIRE(!WaitAppWindow("#32770", NULL, g_app.main, false, 1000),
            "a dialog followed the cancel of \"%s\"", c.open_title);
    // Cancel in the save dialog: nothing is written.
    Command(c.command);
    open = FileDialog(c.open_title);
    REQUIRE(open, "no open dialog");
    REQUIRE(Choose(open, Join(g_dir, c.input)), "fill");
    REQUIRE(WaitGone(open), "the open dialog stayed");
    HWND save = FileDialog(c.save_title);
    REQUIRE(save, "no save dialog");
    SetText(GetDlgItem(save, kFileNameBox), "NEVER");
    Press(save, IDCANCEL);
    REQUIRE(WaitGone(save), "the save dialog stayed");
    REQUIRE(Sync(), "no answer");
    REQUIRE(Listing(g_dir) == names, "after a cancel the folder holds %s",
            Show(Listing(g_dir)).c_str());
    // The report of the last conversion stays.
    REQUIRE_REPORT(report, 0, "after-cancel");
  }
  STEP(Exit());
}

void TestOverwritePromptAndMissingInput() {
  std::string in = Join(g_dir, "KICK.BIN"), out = Join(g_dir, "OUT.wav");
  REQUIRE(CopyData("kick.bin", in), "copy");
  REQUIRE(WriteWhole(out, "an older take"), "write");
  REQUIRE(StartInCaseDir(), "the program did not start");
  Command(IDM_DMX_TO_WAV);
  HWND open = FileDialog("Select DMX EPROM image");
  REQUIRE(open, "no open dialog");
  // A name that does not exist is refused by the open dialog itself.
  REQUIRE(Choose(open, Join(g_dir, "NOPE.BIN")), "fill");
  HWND refusal = WaitAppWindow("#32770", NULL, open, false);
  REQUIRE(refusal, "no refusal of a missing input file");
  Press(refusal, IDOK);
  REQUIRE(WaitGone(refusal), "the refusal stayed");
  REQUIRE(IsWindowVisible(open), "the open dialog went away");
  REQUIRE(Choose(open, in), "fill");
  REQUIRE(WaitGone(open), "the open dialog stayed");
  HWND save = FileDialog("Select name for WAV output file");
  REQUIRE(save, "no save dialog");
  // An existing output: the user is asked, and No keeps the old file.
  REQUIRE(Choose(save, "OUT.wav"), "fill");
  HWND prompt = WaitAppWindow("#32770", "Select name for WAV output file", save, false);
  REQUIRE(prompt, "no overwrite prompt");
  Press(prompt, IDNO);
  REQUIRE(WaitGone(prompt), "the prompt stayed");
  REQUIRE(IsWindowVisible(save), "the save dialog went away after No");
  std::string kept;
  REQUIRE(ReadWhole(out, &kept) && kept == "an older take", "No did not keep the old file");
  // Yes overwrites it.
  REQUIRE(Choose(save, "OUT.wav"), "fill");
  prompt = WaitAppWindow("#32770", "Select name for WAV output file", save, false);
  REQUIRE(prompt, "no overwrite prompt");
  Press(prompt, IDYES);
  REQUIRE(WaitGone(save), "the save dialog stayed after Yes");
  REQUIRE(Sync(), "no answer");
  REQUIRE_FILE(out, "expected-24000.wav");
  STEP(Exit());
}

void TestRateDialog() {
  std::string in = Join(g_dir, "KICK.BIN");
  REQUIRE(CopyData("kick.bin", in), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(ExpectRateShown("24000.00"));

  // OK with a new rate; the next conversion uses it.
  STEP(SetRate("8000"));
  STEP(ExpectRateShown(" 8000.00"));
  STEP(ConvertImage(in, "KICK.wav", "R8000"));
  REQUIRE_FILE(Join(g_dir, "R8000.wav"), "expected-8000.wav");
  REQUIRE_REPORT(DmxReport(in, Join(g_dir, "R8000.wav"), ImageSamples(), 8000), 0, "8000");

  // Letters read as 0, which the conversion replaces by 24000.
  STEP(SetRate("abc"));
  STEP(ExpectRateShown("    0.00"));
  STEP(ConvertImage(in, "KICK.wav", "R0"));
  REQUIRE_FILE(Join(g_dir, "R0.wav"), "expected-24000.wav");
  STEP(ExpectRateShown("24000.00"));

  // Exponent form, and a number followed by letters.
  STEP(SetRate("1.1025e4"));
  STEP(ConvertImage(in, "KICK.wav", "R11025"));
  REQUIRE_FILE(Join(g_dir, "R11025.wav"), "expected-11025.wav");
  STEP(SetRate("22050Hz"));
  STEP(ConvertImage(in, "KICK.wav", "R22050"));
  REQUIRE_FILE(Join(g_dir, "R22050.wav"), "expected-22050.wav");

  // Cancel, and the dialog's close box, keep the rate.
  std::string shown;
  HWND dlg = OpenRateDialog(&shown);
  REQUIRE(dlg, "no rate dialog");
  REQUIRE_STR(shown, "22050.00", "rate shown");
  SetText(GetDlgItem(dlg, IDC_RATE), "9999");
  Press(dlg, IDCANCEL);
  REQUIRE(WaitGone(dlg), "Cancel did not close the dialog");
  dlg = OpenRateDialog(&shown);
  REQUIRE(dlg, "no rate dialog");
  SetText(GetDlgItem(dlg, IDC_RATE), "7777");
  PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0);
  REQUIRE(WaitGone(dlg), "the close box did not close the dialog");
  STEP(ExpectRateShown("22050.00"));

  // A rate no WAV header can hold is refused, and the dialog stays open.
  dlg = OpenRateDialog(&shown);
  REQUIRE(dlg, "no rate dialog");
  SetText(GetDlgItem(dlg, IDC_RATE), "3e9");
  Press(dlg, IDOK);
  HWND box = WaitAppWindow("#32770", "QUORIX", dlg, false);
  REQUIRE(box, "no refusal of 3e9");
  std::string text = BoxText(box);
  Press(box, IDOK);
  REQUIRE(WaitGone(box), "the refusal stayed");
  REQUIRE_STR(text, "Sample rate out of range: a WAV file holds at most 2147483647 Hz.",
              "refusal text");
  REQUIRE(IsWindowVisible(dlg), "the dialog closed on a refused rate");
  REQUIRE_STR(TextOf(GetDlgItem(dlg, IDC_RATE)), "3e9", "text left in the dialog");
  Press(dlg, IDCANCEL);
  REQUIRE(WaitGone(dlg), "Cancel did not close the dialog");
  STEP(ExpectRateShown("22050.00"));

  // The conversions set the settings-changed flag: the rate is saved.
  STEP(Exit());
  REQUIRE_INI(IniText(Join(g_dir, "R22050.wav"), "   22050"));
}

const char kHandWritten[] =
    "* kept by hand\r\n"
    "LAST_PLAYED_FILE = \"%s\"\r\n"
    "SAMPLE_RATE = 24000\r\n";

void TestRateAloneLeavesTheFileAlone() {
  std::string ini = Join(g_dir, "quorix.ini");
  std::string text = Fmt(kHandWritten, Join(g_dir, "KICK.WAV").c_str());
  REQUIRE(WriteWhole(ini, text), "write");
  FILETIME before = WriteTime(ini);
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(SetRate("8000"));
  STEP(Exit());
  std::string after;
  REQUIRE(ReadWhole(ini, &after) && after == text, "quorix.ini was changed:\n%s", after.c_str());
  REQUIRE(SameTime(before, WriteTime(ini)), "quorix.ini was rewritten");
  REQUIRE(Listing(g_dir) == std::set<std::string>{"quorix.ini"}, "files: %s",
          Show(Listing(g_dir)).c_str());
}

void TestPlayReplayAndClick() {
  std::string wav = Join(g_dir, "KICK.WAV");
  REQUIRE(CopyData("kick.wav", wav), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  // Before anything was played a click does nothing.
  Click(100, 80);
  REQUIRE(Sync(), "no answer");
  REQUIRE(!WaitAppWindow("#32770", NULL, g_app.main, false, 1000), "a click opened a dialog");
  REQUIRE_REPORT(Lines(), 0, "click-before-play");
  // Play, cancelled: nothing happens.
  Command(IDM_PLAY);
  HWND dlg = FileDialog("Play WAV sound file");
  REQUIRE(dlg, "no play dialog");
  Press(dlg, IDCANCEL);
  REQUIRE(WaitGone(dlg), "the play dialog stayed");
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines(), 0, "play-cancelled");
  // Replay before anything was played opens the play dialog.
  Command(IDM_REPLAY);
  dlg = FileDialog("Play WAV sound file");
  REQUIRE(dlg, "Replay did not open the play dialog");
  REQUIRE(Choose(dlg, wav), "fill");
  REQUIRE(WaitGone(dlg), "the play dialog stayed");
  REQUIRE(Sync(), "no answer");
  std::string line = "Playing file: " + wav;
  REQUIRE_REPORT(Lines({line}), 0, "played");
  Command(IDM_REPLAY);
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines({line, line}), 0, "replayed");
  Click(200, 100);
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines({line, line, line}), 0, "clicked");
  STEP(Exit());
  REQUIRE_INI(IniText(wav, "   24000"));
}

void TestLastPlayedFileSurvivesStartUp() {
  std::string wav = Join(g_dir, "KICK.WAV"), ini = Join(g_dir, "quorix.ini");
  REQUIRE(CopyData("kick.wav", wav), "copy");
  std::string text = Fmt(kHandWritten, wav.c_str());
  REQUIRE(WriteWhole(ini, text), "write");
  FILETIME before = WriteTime(ini);
  REQUIRE(StartInCaseDir(), "the program did not start");
  std::string line = "Playing file: " + wav;
  Click(150, 60);
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines({line}), 0, "clicked");
  Command(IDM_REPLAY);
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines({line, line}), 0, "replayed");
  // Replaying changes no setting, so the file stays as it was.
  STEP(CloseWithBox());
  std::string after;
  REQUIRE(ReadWhole(ini, &after) && after == text, "quorix.ini was changed:\n%s", after.c_str());
  REQUIRE(SameTime(before, WriteTime(ini)), "quorix.ini was rewritten");
}

void TestAboutNamesTheConfigurationFile() {
  std::string sub = Join(g_dir, "started-here");
  REQUIRE(CreateDirectoryA(sub.c_str(), NULL), "mkdir");
  std::string expected = ForwardSlashes(g_dir) + "/quorix.ini";
  struct {
    const char* what;
    std::string env;
    bool set;
    std::string cwd;
    std::string config;
  } cases[] = {
      {"QUORIX_PATH", g_dir, true, sub, expected},
      {"QUORIX_PATH with a trailing backslash", g_dir + "\\", true, sub, expected},
      {"no QUORIX_PATH", "", false, sub, ForwardSlashes(sub) + "/quorix.ini"},
      {"an empty QUORIX_PATH", "", true, sub, ForwardSlashes(sub) + "/quorix.ini"},
  };
  for (auto& c : cases) {
    REQUIRE(StartApp(c.set ? c.env.c_str() : NULL, c.cwd), "the program did not start (%s)",
            c.what);
    ExpectAbout(c.config);
    if (!g_error.empty()) return FailAt(__LINE__, "with %s: %s", c.what, std::string(g_error).c_str());
    STEP(Exit());
  }
}

void TestLongConfigurationFolder() {
  // A folder too long for the 127 characters of the name: the program uses
  // its short form, and the settings land in that folder all the same.
  std::string dir = g_dir;
  while (dir.size() < 150) {
    dir = Join(dir, "a-rather-long-folder-name");
    REQUIRE(CreateDirectoryA(dir.c_str(), NULL), "mkdir %s", dir.c_str());
  }
  std::string wav = Join(g_dir, "KICK.WAV");
  REQUIRE(CopyData("kick.wav", wav), "copy");
  char short_dir[MAX_PATH];
  DWORD n = GetShortPathNameA(dir.c_str(), short_dir, sizeof short_dir);
  REQUIRE(n > 0 && n < 110, "no usable short name for %s", dir.c_str());
  REQUIRE(StartApp(dir.c_str(), g_dir), "the program did not start");
  STEP(ExpectAbout(ForwardSlashes(short_dir) + "/quorix.ini"));
  Command(IDM_PLAY);
  HWND dlg = FileDialog("Play WAV sound file");
  REQUIRE(dlg, "no play dialog");
  REQUIRE(Choose(dlg, wav), "fill");
  REQUIRE(WaitGone(dlg), "the play dialog stayed");
  STEP(Exit());
  std::string got;
  REQUIRE(ReadWhole(Join(dir, "quorix.ini"), &got), "no quorix.ini in the long folder");
  REQUIRE(got == IniText(wav, "   24000"), "quorix.ini reads:\n%s", got.c_str());
}

void TestUndefinedCommand() {
  REQUIRE(StartInCaseDir(), "the program did not start");
  Command(999);
  HWND box = WaitAppWindow("#32770", "Alert!", g_app.main, false);
  REQUIRE(box, "no message box for command 999");
  std::string text = BoxText(box);
  Press(box, IDOK);
  REQUIRE(WaitGone(box), "the box stayed");
  REQUIRE_STR(text, "Undefined Menu Command!", "message");
  REQUIRE(Sync(), "the program does not answer");
  REQUIRE_REPORT(Lines(), 0, "after-alert");
  STEP(Exit());
}

void TestExitAndCloseBoxWithoutChanges() {
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(Exit());
  REQUIRE(Listing(g_dir).empty(), "Exit left %s", Show(Listing(g_dir)).c_str());
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(CloseWithBox());
  REQUIRE(Listing(g_dir).empty(), "the close box left %s", Show(Listing(g_dir)).c_str());
}

void TestCloseBoxSavesAfterPlay() {
  std::string wav = Join(g_dir, "KICK.WAV");
  REQUIRE(CopyData("kick.wav", wav), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");
  STEP(SetRate("31250.4"));
  Command(IDM_PLAY);
  HWND dlg = FileDialog("Play WAV sound file");
  REQUIRE(dlg, "no play dialog");
  REQUIRE(Choose(dlg, wav), "fill");
  REQUIRE(WaitGone(dlg), "the play dialog stayed");
  STEP(CloseWithBox());
  REQUIRE_INI(IniText(wav, "   31250"));
}

void TestLongNames() {
  std::string in = Join(g_dir, "KICK.BIN");
  REQUIRE(CopyData("kick.bin", in), "copy");
  REQUIRE(StartInCaseDir(), "the program did not start");

  // An output name with no room left for ".wav" is refused, visibly.
  size_t room = 126 - g_dir.size() - 1;  // the longest name the dialog returns
  for (size_t len : {room - 2, room}) {
    std::string typed(len, 'x');
    Command(IDM_DMX_TO_WAV);
    HWND open = FileDialog("Select DMX EPROM image");
    REQUIRE(open, "no open dialog");
    REQUIRE(Choose(open, in), "fill");
    REQUIRE(WaitGone(open), "the open dialog stayed");
    HWND save = FileDialog("Select name for WAV output file");
    REQUIRE(save, "no save dialog");
    REQUIRE(Choose(save, typed), "fill");
    HWND box = WaitAppWindow("#32770", "QUORIX", g_app.main, false);
    REQUIRE(box, "no refusal of a name of %u characters", (unsigned)(g_dir.size() + 1 + len));
    std::string text = BoxText(box);
    Press(box, IDOK);
    REQUIRE(WaitGone(box), "the refusal stayed");
    REQUIRE_STR(text,
                "The name is too long to add \".wav\" to it:\n" + Join(g_dir, typed) +
                    "\n\nA file name holds at most 127 characters, folders included.",
                "refusal");
    REQUIRE(Sync(), "no answer");
    REQUIRE(Listing(g_dir) == std::set<std::string>{"KICK.BIN"}, "files: %s",
            Show(Listing(g_dir)).c_str());
  }

  // A chosen file whose name is longer than the program takes.
  std::string too_long = Join(g_dir, std::string(140 - g_dir.size(), 'y') + ".wav");
  REQUIRE(CopyData("kick.wav", too_long), "copy");
  Command(IDM_PLAY);
  HWND dlg = FileDialog("Play WAV sound file");
  REQUIRE(dlg, "no play dialog");
  REQUIRE(Choose(dlg, too_long), "fill");
  HWND box = WaitAppWindow("#32770", "QUORIX", g_app.main, false);
  REQUIRE(box, "no message for a file name of %u characters", (unsigned)too_long.size());
  std::string text = BoxText(box);
  Press(box, IDOK);
  REQUIRE(WaitGone(box), "the message stayed");
  REQUIRE_STR(text,
              "The name of the chosen file is too long: QUORIX takes file names of at most 126 "
              "characters, folders included.",
              "message");
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines(), 0, "nothing-played");

  // The longest name the dialog returns is played and shown whole.
  std::string longest = Join(g_dir, std::string(126 - g_dir.size() - 5, 'z') + ".wav");
  REQUIRE(longest.size() == 126, "name of %u", (unsigned)longest.size());
  REQUIRE(CopyData("kick.wav", longest), "copy");
  WidenWindow();
  Command(IDM_PLAY);
  dlg = FileDialog("Play WAV sound file");
  REQUIRE(dlg, "no play dialog");
  REQUIRE(Choose(dlg, longest), "fill");
  REQUIRE(WaitGone(dlg), "the play dialog stayed");
  REQUIRE(Sync(), "no answer");
  REQUIRE_REPORT(Lines({"Playing file: " + longest}), 0, "long-line");
  STEP(Exit());
  REQUIRE_INI(IniText(longest, "   24000"));
}

// ---- Resources of both builds ---------------------------------------------

struct Reader {
  const uint8_t* p;
  const uint8_t* end;
  bool bad;
  uint32_t U16() {
    if (p + 2 > end) return bad = true, 0;
    uint32_t v = p[0] | p[1] << 8;
    p += 2;
    return v;
  }
  uint32_t U32() {
    uint32_t lo = U16();
    return lo | U16() << 16;
  }
  int S16() { return (int16_t)U16(); }
  std::string Str() {  // a UTF-16 text of ASCII characters
    std::string s;
    for (uint32_t c; (c = U16()) != 0 && !bad;) s += c < 128 ? (char)c : '?';
    return s;
  }
  std::string SzOrOrd() {  // a text, or 0xFFFF and a number
    if (p + 2 <= end && p[0] == 0xFF && p[1] == 0xFF) {
      U16();
      return "#" + std::to_string(U16());
    }
    return Str();
  }
  void Align4(const uint8_t* base) {
    while ((p - base) % 4) p++;
  }
};

bool Resource(HMODULE m, LPCSTR type, int id, Reader* r) {
  HRSRC res = FindResourceA(m, MAKEINTRESOURCEA(id), type);
  if (!res) return false;
  HGLOBAL g = LoadResource(m, res);
  if (!g) return false;
  r->p = (const uint8_t*)LockResource(g);
  r->end = r->p + SizeofResource(m, res);
  r->bad = false;
  return r->p != NULL;
}

BOOL CALLBACK LangProc(HMODULE, LPCSTR, LPCSTR, WORD lang, LONG_PTR param) {
  ((std::vector<WORD>*)param)->push_back(lang);
  return TRUE;
}

struct Control {
  int id;
  const char* cls;
  const char* text;
  DWORD style;
  int x, y, cx, cy;
};

const DWORD kDialogStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
const DWORD kChild = WS_CHILD | WS_VISIBLE;

void CheckDialog(HMODULE m, int id, const char* title, int x, int y, int cx, int cy,
                 const std::vector<Control>& controls) {
  Reader r;
  REQUIRE(Resource(m, (LPCSTR)RT_DIALOG, id, &r), "no dialog template %d", id);
  const uint8_t* base = r.p;
  DWORD style = r.U32(), ex = r.U32();
  REQUIRE(style != 0xFFFF0001, "dialog %d is an extended template", id);
  unsigned count = r.U16();
  int dx = r.S16(), dy = r.S16(), dcx = r.S16(), dcy = r.S16();
  std::string menu = r.SzOrOrd(), cls = r.SzOrOrd(), caption = r.Str();
  REQUIRE(style == kDialogStyle, "dialog %d: style %08lx", id, (unsigned long)style);
  REQUIRE(ex == 0, "dialog %d: extended style %08lx", id, (unsigned long)ex);
  REQUIRE(dx == x && dy == y && dcx == cx && dcy == cy, "dialog %d at %d,%d size %dx%d", id, dx,
          dy, dcx, dcy);
  REQUIRE(menu.empty() && cls.empty(), "dialog %d: menu \"%s\", class \"%s\"", id, menu.c_str(),
          cls.c_str());
  REQUIRE_STR(caption, title, "dialog title");
  unsigned points = r.U16();
  std::string face = r.Str();
  REQUIRE(points == 8 && face == "MS Sans Serif", "dialog %d font %u %s", id, points, face.c_str());
  REQUIRE(count == controls.size(), "dialog %d has %u controls, not %u", id, count,
          (unsigned)controls.size());
  for (const Control& c : controls) {
    r.Align4(base);
    DWORD cs = r.U32(), cex = r.U32();
    int x0 = r.S16(), y0 = r.S16(), w = r.S16(), h = r.S16();
    int cid = (int)r.U16();
    std::string ccls = r.SzOrOrd(), text = r.SzOrOrd();
    unsigned extra = r.U16();
    r.p += extra;
    REQUIRE(!r.bad, "dialog %d is cut short", id);
    const char* want_cls = !strcmp(c.cls, "BUTTON")   ? "#128"
                           : !strcmp(c.cls, "EDIT")     ? "#129"
                           : !strcmp(c.cls, "STATIC")   ? "#130"
                           : !strcmp(c.cls, "COMBOBOX") ? "#133"
                                                        : c.cls;
    REQUIRE(cid == c.id && ccls == want_cls && text == c.text && cs == (c.style | kChild) &&
                cex == 0 && x0 == c.x && y0 == c.y && w == c.cx && h == c.cy,
            "dialog %d control %d: found id %d class %s \"%s\" style %08lx at %d,%d %dx%d", id,
            c.id, cid, ccls.c_str(), text.c_str(), (unsigned long)cs, x0, y0, w, h);
  }
}

void CheckIcon(HMODULE m, int id, unsigned size, unsigned bits) {
  Reader r;
  REQUIRE(Resource(m, (LPCSTR)RT_GROUP_ICON, id, &r), "no icon %d", id);
  r.U16();
  REQUIRE(r.U16() == 1 && r.U16() == 1, "icon %d is not one image", id);
  unsigned w = *r.p++, h = *r.p++, colours = *r.p++;
  r.p++;
  unsigned planes = r.U16(), bit_count = r.U16();
  uint32_t bytes = r.U32();
  int image = (int)r.U16();
  REQUIRE(w == size && h == size && planes == 1 && bit_count == bits &&
              colours == (bits == 4 ? 16u : 0u),
          "icon %d: %ux%u, %u bits, %u colours", id, w, h, bit_count, colours);
  Reader b;
  REQUIRE(Resource(m, (LPCSTR)RT_ICON, image, &b), "no image %d of icon %d", image, id);
  uint32_t header = b.U32(), bw = b.U32(), bh = b.U32();
  b.U16();
  unsigned bb = b.U16();
  size_t row = ((size * bits + 31) / 32) * 4, mask_row = ((size + 31) / 32) * 4;
  size_t expected = 40 + 4 * ((size_t)1 << bits) + (row + mask_row) * size;
  REQUIRE(header == 40 && bw == size && bh == 2 * size && bb == bits,
          "icon %d image: %ux%u, %u bits", id, bw, bh, bb);
  REQUIRE(bytes == expected && (size_t)(b.end - (b.p - 16)) == expected,
          "icon %d image of %u bytes, expected %u with its mask", id, (unsigned)bytes,
          (unsigned)expected);
}

void CheckResources(const std::string& exe) {
  HMODULE m = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
  REQUIRE(m, "cannot read %s", exe.c_str());
  struct Closer {
    HMODULE m;
    ~Closer() { FreeLibrary(m); }
  } closer = {m};

  // Menu 1: three popups, seven items, nothing disabled, checked or split.
  Reader r;
  REQUIRE(Resource(m, (LPCSTR)RT_MENU, IDM_MAIN, &r), "no menu 1");
  REQUIRE(r.U16() == 0 && r.U16() == 0, "menu 1 is not a plain menu template");
  std::vector<std::string> items;
  for (bool last_popup = false; !last_popup && !r.bad;) {
    unsigned flags = r.U16();
    REQUIRE(flags & MF_POPUP, "menu 1 has a top-level item that is not a popup");
    items.push_back(Fmt("%s [%s]", r.Str().c_str(), flags & MF_END ? "last" : "popup"));
    last_popup = flags & MF_END;
    for (bool end = false; !end && !r.bad;) {
      unsigned f = r.U16();
      unsigned cmd = r.U16();
      items.push_back(Fmt("  %u %s%s%s", cmd, r.Str().c_str(), f & MF_END ? " [end]" : "",
                          (f & ~MF_END) ? " [flags]" : ""));
      end = f & MF_END;
    }
  }
  std::vector<std::string> want = {
      "&File [popup]",
      "  104 Convert &WAV file to DMX file",
      "  102 Convert &DMX file to WAV file",
      "  105 &Play WAV File",
      "  106 &Replay WAV File",
      "  101 E&xit [end]",
      "&Edit [popup]",
      "  107 &DMX to WAV Options [end]",
      "&Help [last]",
      "  103 &About [end]",
  };
  std::string got_text, want_text;
  for (auto& s : items) got_text += s + "\n";
  for (auto& s : want) want_text += s + "\n";
  REQUIRE_STR(got_text, want_text, "menu 1");

  STEP(CheckDialog(m, IDD_DMX_TO_WAV_OPTIONS, "DMX to WAV Conversion Options", 3, 13, 198, 92,
                   {{IDOK, "BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 44, 62, 50, 14},
                    {IDCANCEL, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 104, 62, 50, 14},
                    {10, "EDIT", "", ES_LEFT | WS_BORDER | WS_TABSTOP, 49, 25, 100, 20},
                    {65535, "STATIC", "WAV File Sample Rate", SS_LEFT | WS_GROUP, 59, 11, 82, 12}}));
  STEP(CheckDialog(
      m, IDD_WAV_TO_DMX_OPTIONS, "WAV to DMX Conversion Options", 2, 18, 320, 240,
      {{1, "BUTTON", "Execute", BS_DEFPUSHBUTTON | WS_TABSTOP, 26, 220, 50, 14},
       {2, "BUTTON", "Cancel", BS_PUSHBUTTON | WS_TABSTOP, 243, 220, 50, 14},
       {11, "BUTTON", "Automatically scale amplitude", BS_CHECKBOX | WS_TABSTOP, 22, 113, 112, 13},
       {12, "BUTTON", "Invert waveform", BS_CHECKBOX, 229, 114, 67, 12},
       {40, "BUTTON", "Pad first two bytes", BS_CHECKBOX, 144, 114, 75, 12},
       {14, "BUTTON", "mu-law (Oberheim)", BS_AUTORADIOBUTTON, 26, 64, 89, 16},
       {15, "BUTTON", "Linear (Simmons)", BS_AUTORADIOBUTTON, 26, 84, 82, 16},
       {16, "BUTTON", "Output Data Format", BS_GROUPBOX, 20, 48, 100, 60},
       {13, "BUTTON", "1", BS_AUTORADIOBUTTON, 141, 64, 23, 16},
       {17, "BUTTON", "2", BS_AUTORADIOBUTTON, 141, 86, 23, 16},
       {44, "BUTTON", "4", BS_AUTORADIOBUTTON, 181, 86, 23, 16},
       {20, "BUTTON", "Number of EPROMs", BS_GROUPBOX, 129, 48, 82, 60},
       {19, "BUTTON", "1/2", BS_AUTORADIOBUTTON, 181, 64, 23, 16},
       {48, "BUTTON", "2732", BS_AUTORADIOBUTTON, 226, 61, 39, 12},
       {49, "BUTTON", "2764", BS_AUTORADIOBUTTON, 226, 75, 38, 12},
       {43, "BUTTON", "Unspecified", BS_AUTORADIOBUTTON, 226, 89, 64, 16},
       {24, "BUTTON", "Select Input File", BS_PUSHBUTTON | WS_TABSTOP, 22, 139, 70, 14},
       {25, "BUTTON", "Select Input File", BS_PUSHBUTTON | WS_DISABLED | WS_TABSTOP, 22, 162, 70,
        14},
       {26, "EDIT", "", ES_LEFT | WS_BORDER | WS_TABSTOP, 101, 139, 196, 21},
       {27, "EDIT", "", ES_LEFT | WS_BORDER | WS_TABSTOP, 101, 162, 196, 21},
       {28, "BUTTON", "EPROM Type", BS_GROUPBOX, 220, 48, 80, 60},
       {29, "BUTTON", "Select Output File", BS_PUSHBUTTON | WS_TABSTOP, 22, 190, 70, 14},
       {30, "EDIT", "", ES_LEFT | WS_BORDER | WS_TABSTOP, 101, 190, 196, 21},
       {31, "COMBOBOX", "Target", CBS_DROPDOWNLIST | WS_TABSTOP, 20, 20, 280, 24},
       {65535, "STATIC", "Oberheim Drum Voice", SS_LEFT | WS_GROUP, 19, 7, 126, 12}}));
  STEP(CheckIcon(m, IDI_SMALL, 32, 8));
  STEP(CheckIcon(m, IDI_LARGE, 64, 4));

  // Every resource is in the neutral language.
  struct {
    LPCSTR type;
    int id;
  } all[] = {{(LPCSTR)RT_MENU, 1}, {(LPCSTR)RT_DIALOG, 2}, {(LPCSTR)RT_DIALOG, 3},
             {(LPCSTR)RT_GROUP_ICON, 1}, {(LPCSTR)RT_GROUP_ICON, 2}};
  for (auto& a : all) {
    std::vector<WORD> langs;
    EnumResourceLanguagesA(m, a.type, MAKEINTRESOURCEA(a.id), LangProc, (LONG_PTR)&langs);
    REQUIRE(langs == std::vector<WORD>{0}, "resource %d of type %d is not language-neutral",
            a.id, (int)(uintptr_t)a.type);
  }
}

void TestResourcesOfBothBuilds() {
  STEP(CheckResources(g_exe));
  STEP(CheckResources(g_exe32));
}

struct Test {
  const char* name;
  void (*run)();
};

const Test kTests[] = {
    {"ResourcesOfBothBuilds", TestResourcesOfBothBuilds},
    {"StartsWithAnEmptyReport", TestStartsWithAnEmptyReport},
    {"ImageToWavThroughTheDialogs", TestImageToWavThroughTheDialogs},
    {"ImageToWavExtensionRules", TestImageToWavExtensionRules},
    {"ProposalCutsAtTheFirstDotOfThePath", TestProposalCutsAtTheFirstDotOfThePath},
    {"WavToImageThroughTheDialogs", TestWavToImageThroughTheDialogs},
    {"CancelInEitherDialog", TestCancelInEitherDialog},
    {"OverwritePromptAndMissingInput", TestOverwritePromptAndMissingInput},
    {"RateDialog", TestRateDialog},
    {"RateAloneLeavesTheFileAlone", TestRateAloneLeavesTheFileAlone},
    {"PlayReplayAndClick", TestPlayReplayAndClick},
    {"LastPlayedFileSurvivesStartUp", TestLastPlayedFileSurvivesStartUp},
    {"AboutNamesTheConfigurationFile", TestAboutNamesTheConfigurationFile},
    {"LongConfigurationFolder", TestLongConfigurationFolder},
    {"UndefinedCommand", TestUndefinedCommand},
    {"ExitAndCloseBoxWithoutChanges", TestExitAndCloseBoxWithoutChanges},
    {"CloseBoxSavesAfterPlay", TestCloseBoxSavesAfterPlay},
    {"LongNames", TestLongNames},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    fprintf(stderr, "usage: quorix_e2e QUORIX.exe QUORIX32.exe DATA WORK ARTIFACTS [NAME...]\n");
    return 64;
  }
  setvbuf(stdout, NULL, _IONBF, 0);
  g_exe = argv[1];
  g_exe32 = argv[2];
  g_data = argv[3];
  g_work = argv[4];
  g_artifacts = argv[5];
  CreateReference();

  int passed = 0, failed = 0;
  DWORD suite_start = GetTickCount();
  for (const Test& t : kTests) {
    bool wanted = argc == 6;
    for (int i = 6; i < argc; i++)
      if (strstr(t.name, argv[i])) wanted = true;
    if (!wanted) continue;
    g_case = t.name;
    g_dir = Join(g_work, t.name);
    g_error.clear();
    DWORD start = GetTickCount();
    if (!CreateDirectoryA(g_dir.c_str(), NULL)) {
      g_error = "cannot create " + g_dir;
    } else {
      t.run();
    }
    StopApp();  // a failed test may leave the program running
    double seconds = (GetTickCount() - start) / 1000.0;
    if (g_error.empty()) {
      printf("PASS %-40s %6.1f s\n", t.name, seconds);
      passed++;
    } else {
      printf("FAIL %-40s %6.1f s\n     %s\n", t.name, seconds, g_error.c_str());
      failed++;
    }
  }
  printf("end-to-end suite ran %.1f s\n", (GetTickCount() - suite_start) / 1000.0);
  printf("e2e: %d passed, %d failed\n", passed, failed);
  DestroyWindow(g_ref);
  return failed ? 1 : 0;
}
