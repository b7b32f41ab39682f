// quorix-cli.exe starts here. Windows hands a program its arguments in
// UTF-16; they become UTF-8 once, here, and the converter works in UTF-8
// throughout, as on Linux (the new code's file calls widen them again, and
// the manifest makes UTF-8 the code page of the engine's own fopen).
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <wchar.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "report/report.h"
#include "platform/wide.h"

static UINT console_code_page = 0;

static void restore_console(void) {
  if (console_code_page) SetConsoleOutputCP(console_code_page);
}

static bool is_console(DWORD which) {
  HANDLE h = GetStdHandle(which);
  DWORD mode;
  return h && h != INVALID_HANDLE_VALUE && GetFileType(h) == FILE_TYPE_CHAR && GetConsoleMode(h, &mode);
}

int wmain(int argc, wchar_t** wargv) {
  // Binary standard streams: an image or a WAV file piped in or out keeps
  // its bytes 0x0A and 0x1A, and a report redirected to a file has the
  // same bytes as on Linux (lines end in LF alone, which Notepad shows as
  // lines since Windows 10 version 1809).
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The reports print names as given, in UTF-8; a console shows them as
  // such only in its UTF-8 code page, which goes back to what it was when
  // the program ends.
  if (is_console(STD_OUTPUT_HANDLE) || is_console(STD_ERROR_HANDLE)) {
    console_code_page = GetConsoleOutputCP();
    if (console_code_page != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
      atexit(restore_console);
    else
      console_code_page = 0;
  }

  // The engine tells its window of each report line (InvalidateRect, as
  // in the desktop program). A console program has no window, and for a
  // null one Windows redraws every window on the screen, at each line of
  // each conversion of a batch; an invisible message-only window takes
  // those calls instead.
  if (argc > 1 && (wcscmp(wargv[1], L"wav2dmx") == 0 || wcscmp(wargv[1], L"dmx2wav") == 0))
    MyWindow = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);

  std::vector<std::string> args;
  for (int i = 0; i < argc; i++) {
    // A lone surrogate is valid in a Windows name but not Unicode; such a
    // name cannot be given, and is refused rather than changed.
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wargv[i], -1, nullptr, 0, nullptr, nullptr) == 0) {
      fprintf(stderr, "quorix: argument %d is not valid Unicode\n", i);
      return exit_status(Outcome::usage);
    }
    args.push_back(narrow(wargv[i]));
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);
  return quorix_main(argc, argv.data());
}
