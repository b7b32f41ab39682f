// Look-alike declarations of the few Win32 types and calls the core uses, for
// builds on systems without the Windows API. Names, argument orders and the
// layout of SCROLLINFO follow the Windows headers, so the core compiles
// unchanged against either. Include platform/platform.h, not this file.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef int BOOL;
typedef unsigned int UINT;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned char BYTE;
typedef char CHAR;
typedef const char* LPCSTR;
typedef uint32_t COLORREF;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct HWND__;
typedef struct HWND__* HWND;
typedef struct HWND__* HDC;  // a window's paint context is the window itself here
typedef void* HGDIOBJ;
typedef void* HFONT;
typedef void* HINSTANCE;
typedef void* HMODULE;
typedef const char* HCURSOR;  // the resource name of the cursor, e.g. IDC_WAIT

#define MAKEINTRESOURCEA(i) ((LPCSTR)(uintptr_t)(i))
#define IDC_WAIT MAKEINTRESOURCEA(32514)
#define IDC_CROSS MAKEINTRESOURCEA(32515)

#define SB_VERT 1
#define SIF_RANGE 0x0001
#define SIF_PAGE 0x0002
#define SIF_POS 0x0004
#define SIF_DISABLENOSCROLL 0x0008
#define SIF_TRACKPOS 0x0010
#define SIF_ALL (SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS)

#define SB_LINEUP 0
#define SB_LINEDOWN 1
#define SB_PAGEUP 2
#define SB_PAGEDOWN 3
#define SB_THUMBPOSITION 4
#define SB_THUMBTRACK 5
#define SB_TOP 6
#define SB_BOTTOM 7
#define SB_ENDSCROLL 8

#define SND_ASYNC 0x0001
#define SND_NOWAIT 0x2000
#define SND_FILENAME 0x20000

#define FW_NORMAL 400
#define ANSI_CHARSET 0
#define OUT_STROKE_PRECIS 3
#define CLIP_STROKE_PRECIS 2
#define DRAFT_QUALITY 1
#define FIXED_PITCH 1
#define FF_MODERN 0x30
#define LF_FACESIZE 32

typedef struct tagSCROLLINFO {
  UINT cbSize;
  UINT fMask;
  int nMin;
  int nMax;
  UINT nPage;
  int nPos;
  int nTrackPos;
} SCROLLINFO;
typedef const SCROLLINFO* LPCSCROLLINFO;
typedef SCROLLINFO* LPSCROLLINFO;

typedef struct tagRECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
} RECT;

typedef struct tagLOGFONTA {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  CHAR lfFaceName[LF_FACESIZE];
} LOGFONTA;

typedef struct tagTEXTMETRICA {
  LONG tmHeight;
  LONG tmAscent;
  LONG tmDescent;
  LONG tmInternalLeading;
  LONG tmExternalLeading;
} TEXTMETRICA;

typedef struct tagPAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
} PAINTSTRUCT;

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO si, BOOL redraw);
BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO si);
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps);
HFONT CreateFontIndirectA(const LOGFONTA* lf);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj);
BOOL DeleteObject(HGDIOBJ obj);
BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm);
BOOL GetClientRect(HWND hwnd, RECT* rect);
COLORREF SetTextColor(HDC hdc, COLORREF color);
BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length);
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
HCURSOR SetCursor(HCURSOR cursor);
BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags);

// ---- Inspection and control, for tests of the headless build only ----

// One line drawn by TextOutA during a paint.
struct HeadlessText {
  int x;
  int y;
  COLORREF color;
  char text[512];  // cut at 511 characters; `length` keeps the real length
  int length;
};

#define HEADLESS_MAX_TEXTS 256
#define HEADLESS_MAX_SOUNDS 16

// A window with a client area, a vertical scroll bar, a font and a record of
// what the core asked of them.
struct HWND__ {
  int client_width;
  int client_height;
  SCROLLINFO bar;           // the bar's state as the platform keeps it
  LONG tm_height;           // metrics of every font selected into the window
  LONG tm_external_leading;
  int metrics_fail;         // nonzero: GetTextMetricsA fails
  int set_scroll_calls;     // SetScrollInfo calls so far
  int invalidate_erase;     // InvalidateRect calls asking for erasing
  int invalidate_noerase;   // InvalidateRect calls without erasing
  int paints;               // BeginPaint calls
  HGDIOBJ selected;         // object currently selected into the window
  int texts;                // lines drawn by the latest paint
  struct HeadlessText text[HEADLESS_MAX_TEXTS];
};

HWND HeadlessCreateWindow(int client_width, int client_height);
void HeadlessDestroyWindow(HWND hwnd);

// Drags the thumb: what the platform does while the user holds it.
void HeadlessTrackThumb(HWND hwnd, int pos);

// The cursor most recently made current with SetCursor (0 before any).
HCURSOR HeadlessCurrentCursor(void);
// Number of SetCursor calls made so far.
int HeadlessCursorChanges(void);

// Fonts made with CreateFontIndirectA and not yet released.
int HeadlessFontsAlive(void);

// Sound requests made with PlaySoundA, oldest first.
struct HeadlessSound {
  char name[512];
  DWORD flags;
};
int HeadlessSoundCount(void);
const struct HeadlessSound* HeadlessSoundAt(int index);

// Allocation failures on demand: after `successes` more successful calls of
// PlatformAlloc/PlatformRealloc, the next `failures` calls return null.
// A negative `successes` turns the injection off.
void HeadlessFailAllocations(int successes, int failures);

// Forgets the recorded cursor, sounds and allocation failures.
void HeadlessReset(void);
