// QUORIX.exe: the entry, the main window and its message loop. The window
// shows the report log, pages it with its scroll bar, hands menu commands on
// and replays the last sound when the user clicks into it.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include "app/app.h"
#include "report/report.h"
#include "resources/resource.h"
#include "settings/settings.h"

// The program is written for the 32-bit desktop; these are the record sizes
// it exchanges with the system there.
#ifndef _WIN64
static_assert(sizeof(WNDCLASSEXA) == 48, "WNDCLASSEXA of the 32-bit desktop");
static_assert(sizeof(SCROLLINFO) == 28, "SCROLLINFO of the 32-bit desktop");
#endif

HINSTANCE MyInstance;

// The file dialogs change the current directory to wherever the user
// browsed, so a configuration file named relative to it would be saved in a
// different folder from the one it was read from. When the name could not
// be made from the chosen folder (QUORIX_PATH empty or too long), it is
// pinned at start-up instead: QUORIX_PATH's folder in its short form, else
// the folder the program started in, in its long or short form.
static void PinConfigPath(void) {
  if (strchr(configfile, '/')) return;
  char dir[MAX_PATH];
  const char* env = getenv("QUORIX_PATH");
  if (env && env[0]) {
    DWORD n = GetShortPathNameA(env, dir, sizeof dir);
    if (n > 0 && n < sizeof dir && ComposeConfigPath(configfile, dir)) return;
  }
  DWORD n = GetCurrentDirectoryA(sizeof dir, dir);
  if (n == 0 || n >= sizeof dir) return;
  if (ComposeConfigPath(configfile, dir)) return;
  char short_dir[MAX_PATH];
  n = GetShortPathNameA(dir, short_dir, sizeof short_dir);
  if (n > 0 && n < sizeof short_dir) ComposeConfigPath(configfile, short_dir);
}

static void OnCreate(HWND hWnd) {
  InitReport();
  last_played_file[0] = 0;
  BuildConfigPath(configfile);
  PinConfigPath();
  LoadConfig(configfile);
  EnableScrollBar(hWnd, SB_VERT, ESB_ENABLE_BOTH);
  SetScrollInfo(hWnd, SB_VERT, &si, TRUE);
  ShowScrollBar(hWnd, SB_VERT, TRUE);
}

void ShutDown(void) {
  SaveConfig(configfile);
  EraseTextBuffer();
  ReleaseTextBuffer();
  PostQuitMessage(0);
}

static LRESULT CALLBACK BaseMsgProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(hWnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      PaintReport(hWnd);
      return 0;
    case WM_CLOSE:
      ShutDown();
      return 0;
    case WM_COMMAND:
      MenuCommand(LOWORD(wParam));
      return 0;
    case WM_VSCROLL:
      ScrollReport(hWnd, LOWORD(wParam));
      return 0;
    case WM_LBUTTONDOWN:
      // A click plays the last sound again: the quickest way to audition a
      // voice while comparing conversions.
      if (last_played_file[0]) PostMessageA(MyWindow, WM_COMMAND, IDM_REPLAY, 0);
      return 0;
    default:
      return DefWindowProcA(hWnd, message, wParam, lParam);
  }
}

static int Register_Window(HINSTANCE hInst) {
  WNDCLASSEXA wc;
  wc.cbSize = sizeof wc;
  wc.style = CS_VREDRAW | CS_HREDRAW;
  wc.lpfnWndProc = BaseMsgProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = 0;
  wc.hInstance = hInst;
  wc.hIcon = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_LARGE));
  wc.hCursor = LoadCursorA(NULL, IDC_CROSS);
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  wc.lpszMenuName = MAKEINTRESOURCEA(IDM_MAIN);
  wc.lpszClassName = szAppName;
  wc.hIconSm = LoadIconA(hInst, MAKEINTRESOURCEA(IDI_SMALL));
  return RegisterClassExA(&wc);
}

static int Init_Instance(HINSTANCE hInst, int nCmdShow) {
  MyInstance = hInst;
  MyWindow = CreateWindowExA(0, szAppName, szAppCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                             CW_USEDEFAULT, 480, 240, NULL, NULL, hInst, NULL);
  if (!MyWindow) return 0;
  ShowWindow(MyWindow, nCmdShow);
  UpdateWindow(MyWindow);
  return 1;
}

int WINAPI WinMain(HINSTANCE hInst, HINSTANCE hPrevInst, LPSTR lpCmdLine, int nCmdShow) {
  (void)lpCmdLine;
  if (!hPrevInst && !Register_Window(hInst)) return 0;
  InitCommonControls();
  if (!Init_Instance(hInst, nCmdShow)) return 0;
  MSG msg;
  while (GetMessageA(&msg, NULL, 0, 0)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return (int)msg.wParam;
}
