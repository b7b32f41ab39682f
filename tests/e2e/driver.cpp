// End-to-end tests of QUORIX.exe: start the real program and work it only as
// a user can, checking what only the running program shows. A converted file
// is compared with the command-line converter's output only to prove the
// dialogs' file and settings were used. Built for 32 and for 64 bits, each
// driving the program of its own build: the menu probe it hooks into the
// program must be of the program's width. OTHER is the other build, for its
// resources.
//   quorix_e2e QUORIX.exe OTHER.exe ARTIFACTS [SCENARIO...]
// Inputs are in D:\data, scenario folders in D:\cases (short names the
// report shows whole); ARTIFACTS gets the screenshot and failed pictures.
#include <windows.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <ctype.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

#include "version.h"
#include <set>
#include <string>
#include <vector>

namespace {

typedef std::string Str;
const char kData[] = "D:\\data", kCases[] = "D:\\cases";

Str g_exe, g_other, g_artifacts, g_dir /* the scenario's folder */, g_error /* why a step failed */;
PROCESS_INFORMATION g_app;  // the program, while it runs
std::vector<HWND> g_stack;  // its main window, then the dialogs open over it
Str g_menu;                 // its menu bar as our probe read it: "Popup/Item=id" lines

bool Fail(const Str& why) { return g_error = why, false; }

Str Num(long n) { return std::to_string(n); }

// Polls until `done` holds; false when it did not within `timeout` ms.
template <class F>
bool Poll(F done, DWORD timeout = 20000) {
  for (DWORD start = GetTickCount(); !done(); Sleep(40))
    if (GetTickCount() - start > timeout) return false;
  return true;
}

// "~" in a scenario stands for the scenario's folder.
Str Expand(Str s) {
  for (size_t at; (at = s.find('~')) != Str::npos;) s.replace(at, 1, g_dir);
  return s;
}

Str Path(const Str& name) { return g_dir + "\\" + name; }
Str DataPath(const Str& name) { return kData + ("\\" + name); }

Str Read(const Str& path) {
  std::ifstream f(path, std::ios::binary);
  return f ? Str(std::istreambuf_iterator<char>(f), {}) : "<missing>";
}

bool Write(const Str& path, const Str& data) {
  std::ofstream f(path, std::ios::binary);
  return (f << data).flush().good();
}

// The names in the scenario's folder, exactly as stored, in order.
Str Listing() {
  std::set<Str> names;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(Path("*").c_str(), &found);
  for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &found))
    if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) names.insert(found.cFileName);
  FindClose(h);
  Str s;
  for (const Str& n : names) s += (s.empty() ? "" : " ") + n;
  return s;
}

// A visible top-level window of the program by class, exact title ("": any)
// and owner.
HWND WindowOf(const char* cls, const Str& title, HWND owner) {
  for (HWND h = NULL; (h = FindWindowExA(NULL, h, cls, NULL));) {
    DWORD pid = 0;
    char text[256] = "";
    GetWindowThreadProcessId(h, &pid);
    GetWindowTextA(h, text, sizeof text);
    if (pid == g_app.dwProcessId && IsWindowVisible(h) && GetWindow(h, GW_OWNER) == owner &&
        (title.empty() || title == text))
      return h;
  }
  return NULL;
}

bool Send(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR r;
  return SendMessageTimeoutA(h, msg, wp, lp, SMTO_NORMAL, 30000, &r) || Fail("no answer");
}

Str TextOf(HWND h) {
  char text[512] = "<no answer>";
  Send(h, WM_GETTEXT, sizeof text, (LPARAM)text);
  return text;
}

// Returns once the program has handled everything sent before: it answers
// only from a message loop (its own or a modal one), never in mid-command.
bool Sync() { return Send(g_stack[0], WM_NULL, 0, 0); }

// The file dialogs' name box, else the dialog's first edit.
HWND EditOf(HWND dlg) {
  HWND name = GetDlgItem(dlg, 0x47c);
  return name ? name : FindWindowExA(dlg, NULL, "Edit", NULL);
}

// Menus are private to their process, so our probe, which a hook loads into
// the program for one message, writes the menu bar into the file named by
// QUORIX_E2E_MENU, which the program has from us.
bool ReadMenu(HWND main) {
  static HMODULE probe = LoadLibraryA("quorix_menu_probe.dll");  // found beside us
  HOOKPROC proc = (HOOKPROC)(void*)GetProcAddress(probe, "MenuProbe");
  HHOOK hook = proc ? SetWindowsHookExA(WH_CALLWNDPROC, proc, probe, g_app.dwThreadId) : NULL;
  if (!hook) return Fail("cannot hook the menu probe into the program");
  Str file = g_artifacts + "\\menu.txt";
  DeleteFileA(file.c_str());
  Send(main, RegisterWindowMessageA("QuorixMenuProbe"), 0, 0);
  UnhookWindowsHookEx(hook);
  return (g_menu = Read(file)) != "" || Fail("the window has no menu");
}

// Starts the program in `cwd` with QUORIX_PATH `quorix_path` ("unset": none)
// and checks its window: 480 x 240, sizing frame, caption buttons, vertical
// scroll bar, a class that repaints the whole report on resizing.
bool Start(const Str& quorix_path, const Str& cwd) {
  SetEnvironmentVariableA("QUORIX_PATH", quorix_path == "unset" ? NULL : quorix_path.c_str());
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  HWND main = NULL;
  if (!CreateProcessA(g_exe.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, cwd.c_str(), &si, &g_app))
    return Fail("cannot start " + g_exe);
  if (!Poll([&] { return (main = WindowOf("QUORIX", "Waveform conversion program", NULL)); }))
    return Fail("no main window");
  g_stack = {main};
  RECT r;
  GetWindowRect(main, &r);
  LONG style = GetWindowLongA(main, GWL_STYLE), want = WS_OVERLAPPEDWINDOW | WS_VSCROLL;
  DWORD cls = GetClassLongA(main, GCL_STYLE);
  if (r.right - r.left != 480 || r.bottom - r.top != 240 || (style & want) != want ||
      cls != (CS_HREDRAW | CS_VREDRAW))
    return Fail("window of " + Num(r.right - r.left) + "x" + Num(r.bottom - r.top) + ", style " +
                Num(style) + ", class style " + Num(cls));
  return Sync() && ReadMenu(main);
}

// Waits up to `ms` for the program to end, after killing it if `kill`; its
// exit code, or -1 when it still runs.
long End(DWORD ms, bool kill) {
  DWORD code = 0;
  if (kill) TerminateProcess(g_app.hProcess, 99);
  if (WaitForSingleObject(g_app.hProcess, ms) != WAIT_OBJECT_0) return -1;
  GetExitCodeProcess(g_app.hProcess, &code);
  CloseHandle(g_app.hProcess);
  CloseHandle(g_app.hThread);
  g_app = {};
  g_stack.clear();
  return (long)code;
}

struct Picture {
  LONG w, h;
  std::vector<uint32_t> px;
};

// What `paint` draws into a picture of w x h pixels, given the screen too.
Picture Draw(LONG w, LONG h, const std::function<void(HDC, HDC)>& paint) {
  Picture p = {w, h, std::vector<uint32_t>((size_t)w * h)};
  BITMAPINFO bi = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  HDC screen = GetDC(NULL), dc = CreateCompatibleDC(screen);
  void* bits = NULL;
  HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
  HGDIOBJ old = SelectObject(dc, dib);
  paint(dc, screen);
  GdiFlush();
  for (size_t i = 0; bits && i < p.px.size(); i++) p.px[i] = ((uint32_t*)bits)[i] & 0xFFFFFF;
  SelectObject(dc, old);
  DeleteObject(dib);
  DeleteDC(dc);
  ReleaseDC(NULL, screen);
  return p;
}

// A rectangle of the screen, as shown.
Picture Grab(RECT r) {
  return Draw(r.right - r.left, r.bottom - r.top, [&](HDC dc, HDC screen) {
    BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
  });
}

// The report's lines as the program must draw them into a white w x h area.
// The font is spelled out again on purpose: taken from the program's own
// code, a wrong font would pass.
Picture Report(LONG w, LONG h, const std::vector<Str>& lines) {
  return Draw(w, h, [&](HDC dc, HDC) {
    RECT all = {0, 0, w, h};
    FillRect(dc, &all, (HBRUSH)GetStockObject(WHITE_BRUSH));
    HFONT font = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_STROKE_PRECIS,
                             CLIP_STROKE_PRECIS, DRAFT_QUALITY, FIXED_PITCH | FF_MODERN,
                             "Courier New");
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICA tm;
    GetTextMetricsA(dc, &tm);
    for (size_t i = 0; i < lines.size(); i++)
      TextOutA(dc, 5, 5 + (int)i * (tm.tmHeight + tm.tmExternalLeading), lines[i].c_str(),
               (int)lines[i].size());
    DeleteObject(SelectObject(dc, old));
  });
}

void SaveBmp(const Str& name, const Picture& p) {
  BITMAPINFOHEADER ih = {sizeof ih, p.w, -p.h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  DWORD head = sizeof(BITMAPFILEHEADER) + sizeof ih, bytes = (DWORD)p.px.size() * 4;
  BITMAPFILEHEADER fh = {0x4D42, head + bytes, 0, 0, head};
  Write(g_artifacts + "\\" + name, Str((char*)&fh, sizeof fh) + Str((char*)&ih, sizeof ih) +
                                       Str((const char*)p.px.data(), bytes));
}

// Whether the program's window shows `lines` from its top row, pixel for
// pixel. Polls: the program paints when its message loop gets to it.
bool ReportShows(const std::vector<Str>& lines) {
  Picture shown, expected;
  if (Poll([&] {
        RECT r;
        GetClientRect(g_stack[0], &r);
        MapWindowPoints(g_stack[0], NULL, (POINT*)&r, 2);
        shown = Grab(r);
        expected = Report(shown.w, shown.h, lines);
        return shown.px == expected.px;
      }, 15000))
    return true;
  Str base = g_dir.substr(sizeof kCases);
  SaveBmp(base + "-shown.bmp", shown);
  SaveBmp(base + "-expected.bmp", expected);
  return Fail("the window does not show the expected report; see " + base + "-*.bmp");
}

typedef std::map<Str, Str> Resources;  // "type/name/language" -> bytes

Str Id(LPCSTR s) { return IS_INTRESOURCE(s) ? "#" + Num((long)(uintptr_t)s) : s; }

BOOL CALLBACK AddLanguage(HMODULE m, LPCSTR type, LPCSTR name, WORD lang, LONG_PTR to) {
  HRSRC r = FindResourceExA(m, type, name, lang);
  const char* p = r ? (const char*)LockResource(LoadResource(m, r)) : NULL;
  (*(Resources*)to)[Id(type) + "/" + Id(name) + "/" + Num(lang)] =
      p ? Str(p, SizeofResource(m, r)) : "<unreadable>";
  return TRUE;
}

BOOL CALLBACK AddName(HMODULE m, LPCSTR type, LPSTR name, LONG_PTR to) {
  return EnumResourceLanguagesA(m, type, name, AddLanguage, to) || TRUE;
}

BOOL CALLBACK AddType(HMODULE m, LPSTR type, LONG_PTR to) {
  return EnumResourceNamesA(m, type, AddName, to) || TRUE;
}

Resources ResourcesOf(const Str& exe) {
  Resources all;
  if (HMODULE m = LoadLibraryExA(exe.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE)) {
    EnumResourceTypesA(m, AddType, (LONG_PTR)&all);
    FreeLibrary(m);
  }
  return all;
}

// Icon group `group` is one image of size x size pixels at `bits` bits per
// pixel, stored whole: header, palette, colours and mask.
bool IconIs(Resources all, int group, unsigned size, unsigned bits) {
  Str dir = all["#14/#" + Num(group) + "/0"] + Str(20, 0);
  const uint8_t* d = (const uint8_t*)dir.data();
  Str image = all["#3/#" + Num(d[18] | d[19] << 8) + "/0"];
  BITMAPINFOHEADER h = {};
  memcpy(&h, image.data(), std::min(image.size(), sizeof h));
  const char form[] = "%u image of %ux%u, %u bits: %ldx%ld, %u bits, %lu bytes";
  char got[100], want[100];
  snprintf(got, sizeof got, form, d[4], d[6], d[7], d[12], h.biWidth, h.biHeight, h.biBitCount,
           (unsigned long)image.size());
  unsigned long row = (size * bits + 31) / 32 * 4, mask_row = (size + 31) / 32 * 4;
  unsigned long bytes = sizeof h + (4u << bits) + (row + mask_row) * size;
  snprintf(want, sizeof want, form, 1, size, size, bits, (long)size, 2L * size, bits, bytes);
  return !strcmp(got, want) || Fail("icon " + Num(group) + ": " + got + "; expected " + want);
}

// Both builds carry the same resources, byte for byte, all language-neutral,
// and the icons of the sizes and depths the window class asks for.
bool CheckResources() {
  Resources a = ResourcesOf(g_exe), b = ResourcesOf(g_other);
  if (a.empty() || a.size() != b.size())
    return Fail(Num(a.size()) + " resources in this build, " + Num(b.size()) + " in the other");
  for (const auto& r : a) {
    if (b[r.first] != r.second) return Fail("the builds differ in resource " + r.first);
    if (r.first.substr(r.first.size() - 2) != "/0")
      return Fail("resource " + r.first + " is not language-neutral");
  }
  return IconIs(a, 1, 32, 8) && IconIs(a, 2, 64, 4);
}

// A scenario is a list of steps with texts a, b, c; "~" in them stands for
// the scenario's folder, names without a folder are in it.
//   RESOURCES both builds' resources     MKDIR a  a folder, made with its parents
//   PUT a b   a file holding b ("@file": the bytes of a data file)
//   START a b the program, QUORIX_PATH a (default ~; "empty", "unset"), in folder b (~)
//   MENUBAR a the menu's items in order   MENU a b  item a (or a number) chosen; dialog b opens
//   DIALOG a  a dialog titled a ("": any) opens over the top window, and is the top then
//   NO_DIALOG none opens within a second  LABEL a  the top dialog shows the text a
//   FIELD a   its text box shows a        TYPE a b a typed into it; b pressed, if given
//   PRESS a   OK, Cancel, Yes or close (the close box) of the top window
//   GONE      the top dialog goes away    BOX a b  a message box titled a says b; OK pressed
//   ABOUT a   the About box names quorix.ini in the folder a
//   TO_BIN a b c a WAV-to-image conversion of a; the save dialog proposes b, c is typed
//   CLICK     a click into the report     SCROLL   one line down with the scroll bar
//   REPORT a b the window shows lines a ("|" between; "@file") from line b on its top row
//   SHOT a    the main window as a.bmp, for the docs
//   FILE a b  the file a holds exactly b  FILES a  the folder holds the names a, in order
//   ENDS      the program ends, with code 0
enum Op { RESOURCES, MKDIR, PUT, START, MENUBAR, MENU, DIALOG, NO_DIALOG, LABEL, FIELD,
          TYPE, PRESS, GONE, BOX, ABOUT, TO_BIN, CLICK, SCROLL, REPORT, SHOT, FILE, FILES,
          ENDS };

struct Step {
  Op op;
  Str a = "", b = "", c = "";
};

const char kToBin[] = "&File/Convert &WAV file to DMX file", kOpenWav[] = "Select WAV file",
           kSaveBin[] = "Select name for DMX output file";
const char kToWav[] = "&File/Convert &DMX file to WAV file", kOpenBin[] = "Select DMX EPROM image",
           kSaveWav[] = "Select name for WAV output file";
const char kPlay[] = "&File/&Play WAV File", kReplay[] = "&File/&Replay WAV File",
           kPlayTitle[] = "Play WAV sound file", kPlaying[] = "Playing file: ~\\kick.wav";
const char kRate[] = "&Edit/&DMX to WAV Options", kRateTitle[] = "DMX to WAV Conversion Options";
const char kExit[] = "&File/E&xit";

// The bytes of a data file for "@name", else the text itself.
Str Content(const Str& s) { return s[0] == '@' ? Read(DataPath(s.substr(1))) : s; }

bool Run(const Step& s) {
  const Str a = Expand(s.a), b = Expand(s.b);
  HWND top = g_stack.empty() ? NULL : g_stack.back(), main = g_stack.empty() ? NULL : g_stack[0];
  switch (s.op) {
    case RESOURCES:
      return CheckResources();
    case MKDIR:
      for (size_t at = 0; (at = a.find('\\', at)) != Str::npos; at++)
        CreateDirectoryA(Path(a.substr(0, at)).c_str(), NULL);
      return CreateDirectoryA(Path(a).c_str(), NULL) || Fail("cannot make the folder");
    case PUT:
      return Write(Path(a), Content(b)) || Fail("cannot write");
    case START:
      return Start(a.empty() ? g_dir : a == "empty" ? "" : a, b.empty() ? g_dir : b);
    case MENUBAR: {
      Str items;
      for (size_t at = 0, end; (end = g_menu.find('\n', at)) != Str::npos; at = end + 1)
        items += (items.empty() ? "" : "|") + g_menu.substr(at, g_menu.find('=', at) - at);
      return items == a || Fail("the menu has " + items);
    }
    case MENU: {  // a number: a command the menu does not have
      size_t at = ("\n" + g_menu).find("\n" + a + "=");
      if (at == Str::npos && !isdigit(a[0])) return Fail("the menu has no such item");
      PostMessageA(main, WM_COMMAND, atoi(at == Str::npos ? &a[0] : &g_menu[at + a.size() + 1]), 0);
      return b.empty() || Run({DIALOG, b});
    }
    case DIALOG: {
      HWND dlg = NULL;
      if (!Poll([&] { return (dlg = WindowOf("#32770", a, top)); })) return Fail("no such dialog");
      g_stack.push_back(dlg);
      return true;
    }
    case NO_DIALOG:
      return !Poll([&] { return WindowOf("#32770", "", top); }, 1000) || Fail("a dialog opened");
    case LABEL:  // the system matches texts regardless of case; the user does not
      for (HWND h = NULL; (h = FindWindowExA(top, h, "Static", a.c_str()));)
        if (TextOf(h) == a) return true;
      return Fail("no such text; it reads \"" + TextOf(GetDlgItem(top, 0xFFFF)) + "\"");
    case FIELD: {
      Str shown;
      return Poll([&] { return (shown = TextOf(EditOf(top))) == a; }, 5000) ||
             Fail("it shows \"" + shown + "\"");
    }
    case TYPE:
      return Send(EditOf(top), WM_SETTEXT, 0, (LPARAM)a.c_str()) && (b.empty() || Run({PRESS, b}));
    case PRESS: {
      int id = a == "OK" ? IDOK : a == "Cancel" ? IDCANCEL : IDYES;
      if (a == "close") PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
      else PostMessageA(top, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(top, id));
      if (top == main) return true;
      // The dialog goes away, or answers with a window of its own.
      if (!Poll([&] { return !IsWindowVisible(top) || WindowOf("#32770", "", top); }))
        return Fail("the dialog neither closed nor answered");
      return IsWindowVisible(top) || Run({GONE});
    }
    case GONE:
      if (!Poll([&] { return !IsWindowVisible(top); })) return Fail("the dialog stayed");
      g_stack.pop_back();
      return Sync();
    case BOX:
      return Run({DIALOG, s.a}) && Run({LABEL, s.b}) && Run({PRESS, "OK"});
    case ABOUT: {
      Str config = a + "\\quorix.ini";
      std::replace(config.begin(), config.end(), '\\', '/');
      return Run({MENU, "&Help/&About"}) &&
             Run({BOX, "QUORIX", "Waveform conversion program\n\n"
                                 "Drum voices between WAV files and EPROM images, for the\n"
                                 "Oberheim DMX and for drum machines with linear samples.\n\n"
                                 "Version " QUORIX_VERSION "\nConfiguration file = " + config + "\n"});
    }
    case TO_BIN: {
      std::vector<Step> steps = {{MENU, kToBin, kOpenWav}, {FIELD, ""}, {TYPE, s.a, "OK"},
                                 {DIALOG, kSaveBin}, {FIELD, s.b},
                                 {TYPE, s.c.empty() ? s.b : s.c, "OK"}};
      return std::all_of(steps.begin(), steps.end(), Run);
    }
    case CLICK:
      PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 80));
      PostMessageA(main, WM_LBUTTONUP, 0, MAKELPARAM(100, 80));
      return Sync();
    case SCROLL:
      return PostMessageA(main, WM_VSCROLL, SB_LINEDOWN, 0);
    case REPORT: {
      Str text = Expand(Content(s.a));
      std::vector<Str> lines;
      for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min({text.find('|', at), text.find('\n', at), text.size()});
        lines.push_back(text.substr(at, end - at));
      }
      lines.erase(lines.begin(), lines.begin() + std::min((size_t)atoi(b.c_str()), lines.size()));
      return ReportShows(lines);
    }
    case SHOT: {
      RECT r;
      return GetWindowRect(main, &r) && (SaveBmp(a + ".bmp", Grab(r)), true);
    }
    case FILE:
      return Read(Path(a)) == Content(b) ||
             Fail(b[0] == '@' ? "it differs" : "it reads:\n" + Read(Path(a)));
    case FILES:
      return Listing() == a || Fail("the folder holds " + Listing());
    case ENDS: {
      long code = End(20000, false);
      return code == 0 || Fail("exit code " + Num(code) + " (-1: the program did not end)");
    }
  }
  return Fail("unknown step");
}

// quorix.ini as the program writes it on Windows: text mode, so CR LF.
Str Ini(const Str& last_played, const Str& rate) {
  return "* Automatically generated configuration file for QUORIX\r\n\r\n"
         "LAST_PLAYED_FILE = " + last_played + "\r\nMU_LAW = 1\r\nINVERT = 0\r\n"
         "PAD_FIRST_TWO_BYTES = 1\r\nAUTOSCALE = 0\r\nROM_SIZE_INDEX = 1\r\nEIGHTBIT = 0\r\n"
         "SAMPLE_RATE = " + rate + "\r\n";
}

const char kHandWritten[] =
    "* kept by hand\r\nLAST_PLAYED_FILE = \"~\\kick.wav\"\r\nSAMPLE_RATE = 24000\r\n";
// Too long for quorix.ini's 127 characters: the program falls back on its short form.
const Str kLongFolder = "a-rather-long-folder-name\\a-rather-long-folder-name\\"
                        "a-rather-long-folder-name\\a-rather-long-folder-name\\"
                        "a-rather-long-folder-name\\a-rather-long-folder-name";
// In D:\cases\LongNames\ (19 characters): the longest name a file dialog
// returns (126 characters), and a name longer than that (140).
const Str kLongest = Str(126 - 19, 'x'), kTooLong = Str(140 - 19 - 4, 'y') + ".wav";

const std::vector<std::pair<const char*, std::vector<Step>>> kScenarios = {
    {"MenuAndResources",
     {{RESOURCES}, {START},
      {MENUBAR, "&File/Convert &WAV file to DMX file|&File/Convert &DMX file to WAV file|"
                "&File/&Play WAV File|&File/&Replay WAV File|&File/E&xit|"
                "&Edit/&DMX to WAV Options|&Help/&About"},
      {MENU, "999"}, {BOX, "Alert!", "Undefined Menu Command!"}, {REPORT, ""},
      {MENU, kExit}, {ENDS}, {FILES, ""}}},
    {"WavToImage",
     {{PUT, "kick.wav", "@kick.wav"}, {START}, {TO_BIN, "~\\kick.wav", "kick.bin"},
      {FILE, "kick.bin", "@kick.bin"}, {REPORT, "@wav2dmx.txt"}, {SHOT, "main-window"},
      {SCROLL}, {REPORT, "@wav2dmx.txt", "1"},
      // A cancel in the save dialog writes nothing and keeps the report.
      {MENU, kToBin, kOpenWav}, {TYPE, "~\\kick.wav", "OK"}, {DIALOG, kSaveBin},
      {TYPE, "NEVER", "Cancel"}, {REPORT, "@wav2dmx.txt", "1"},
      // Told to write over its input under another spelling, it keeps the input whole.
      {PUT, "same.bin", "@kick.wav"}, {TO_BIN, "~\\same.bin", "same.bin", "SAME.BIN"},
      {DIALOG, kSaveBin}, {PRESS, "Yes"}, {GONE}, {FILE, "same.bin", "@kick.wav"},
      {MENU, kExit}, {ENDS}, {FILES, "kick.bin kick.wav same.bin"}}},
    {"ImageToWav",
     {{PUT, "OUT.wav", "an older take"}, {PUT, "kick.bin", "@kick.bin"},
      {START}, {MENU, kRate, kRateTitle}, {LABEL, "WAV File Sample Rate"}, {FIELD, "24000.00"},
      {TYPE, "8000", "OK"}, {MENU, kRate, kRateTitle}, {FIELD, " 8000.00"}, {TYPE, "3e9", "OK"},
      {BOX, "QUORIX", "Sample rate out of range: a WAV file holds at most 2147483647 Hz."},
      {FIELD, "3e9"}, {TYPE, "9999", "close"},
      // A cancel in the open dialog: no save dialog follows.
      {MENU, kToWav, kOpenBin}, {PRESS, "Cancel"}, {NO_DIALOG},
      // The open dialog refuses a missing file; the save dialog asks before
      // it lets a file be replaced.
      {MENU, kToWav, kOpenBin}, {TYPE, "~\\NOPE.BIN", "OK"}, {DIALOG, ""}, {PRESS, "OK"},
      {TYPE, "~\\kick.bin", "OK"}, {DIALOG, kSaveWav}, {FIELD, "kick.wav"}, {TYPE, "OUT.wav", "OK"},
      {DIALOG, kSaveWav}, {PRESS, "Yes"}, {GONE}, {FILE, "OUT.wav", "@kick-8000.wav"},
      {FILES, "OUT.wav kick.bin"}, {MENU, kExit}, {ENDS},
      {FILE, "quorix.ini", Ini("~\\OUT.wav", "    8000")}}},
    // Played, the sound is remembered: the settings file is replaced whole.
    {"PlayAndReplay",
     {{PUT, "kick.wav", "@kick.wav"}, {PUT, "quorix.ini", "* older settings\r\n"}, {START},
      {CLICK}, {NO_DIALOG}, {REPORT, ""}, {MENU, kPlay, kPlayTitle}, {PRESS, "Cancel"},
      {MENU, kReplay, kPlayTitle}, {TYPE, "~\\kick.wav", "OK"}, {REPORT, kPlaying},
      {MENU, kReplay}, {CLICK}, {REPORT, Str(kPlaying) + "|" + kPlaying + "|" + kPlaying},
      {PRESS, "close"}, {ENDS}, {FILES, "kick.wav quorix.ini"},
      {FILE, "quorix.ini", Ini("~\\kick.wav", "   24000")}}},
    // The last sound played is read at start-up; neither replaying it nor a
    // new rate alone is a change worth saving.
    {"SettingsKept",
     {{PUT, "kick.wav", "@kick.wav"}, {PUT, "quorix.ini", kHandWritten}, {START}, {CLICK},
      {REPORT, kPlaying}, {MENU, kReplay}, {REPORT, Str(kPlaying) + "|" + kPlaying},
      {MENU, kRate, kRateTitle}, {TYPE, "8000", "OK"}, {MENU, kExit}, {ENDS},
      {FILE, "quorix.ini", kHandWritten}, {FILES, "kick.wav quorix.ini"}}},
    {"ConfigurationFolder",
     {{MKDIR, "sub"}, {MKDIR, kLongFolder}, {PUT, "kick.wav", "@kick.wav"},
      {START, "~", "~\\sub"}, {ABOUT, "~"}, {MENU, kExit}, {ENDS},
      {START, "unset", "~\\sub"}, {ABOUT, "~\\sub"}, {MENU, kExit}, {ENDS},
      {START, "empty", "~"}, {ABOUT, "~"}, {PRESS, "close"}, {ENDS},
      {FILES, "a-rather-long-folder-name kick.wav sub"}, {START, "~\\" + kLongFolder},
      {MENU, kPlay, kPlayTitle}, {TYPE, "~\\kick.wav", "OK"}, {MENU, kExit}, {ENDS},
      {FILE, kLongFolder + "\\quorix.ini", Ini("~\\kick.wav", "   24000")}}},
    {"LongNames",
     {{PUT, "kick.bin", "@kick.bin"}, {PUT, kTooLong, "@kick.wav"}, {START},
      {MENU, kPlay, kPlayTitle}, {TYPE, "~\\" + kTooLong, "OK"},
      {BOX, "QUORIX", "The name of the chosen file is too long: QUORIX takes file names of at "
                      "most 126 characters, folders included."},
      {MENU, kToWav, kOpenBin}, {TYPE, "~\\kick.bin", "OK"},
      {DIALOG, kSaveWav}, {TYPE, kLongest, "OK"},
      {BOX, "QUORIX", "The name is too long to add \".wav\" to it:\n~\\" + kLongest +
                      "\n\nA file name holds at most 127 characters, folders included."},
      {MENU, kExit}, {ENDS}, {FILES, "kick.bin " + kTooLong}}},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: quorix_e2e QUORIX.exe OTHER.exe ARTIFACTS [SCENARIO...]\n");
    return 64;
  }
  setvbuf(stdout, NULL, _IONBF, 0);
  g_exe = argv[1], g_other = argv[2], g_artifacts = argv[3];
  SetEnvironmentVariableA("QUORIX_E2E_MENU", (g_artifacts + "\\menu.txt").c_str());
  int passed = 0, failed = 0;
  for (const auto& scenario : kScenarios) {
    bool wanted = argc == 4;
    for (int i = 4; i < argc; i++) wanted = wanted || strstr(scenario.first, argv[i]);
    if (!wanted) continue;
    g_dir = kCases + ("\\" + Str(scenario.first));
    DWORD start = GetTickCount();
    size_t step = 0;
    bool ok = CreateDirectoryA(g_dir.c_str(), NULL) || Fail("cannot make " + g_dir);
    for (; ok && step < scenario.second.size(); step++) ok = Run(scenario.second[step]);
    if (g_app.hProcess) End(10000, true);  // a failed scenario may leave it running
    printf("%s %-22s %5.1f s\n", ok ? "PASS" : "FAIL", scenario.first,
           (GetTickCount() - start) / 1000.0);
    if (!ok)
      printf("     step %u (\"%s\"): %s\n", (unsigned)step,
             step ? scenario.second[step - 1].a.c_str() : "", g_error.c_str());
    (ok ? passed : failed)++;
  }
  printf("e2e: %d passed, %d failed\n", passed, failed);
  return failed ? 1 : 0;
}
