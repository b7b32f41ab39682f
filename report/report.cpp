#include "report/report.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

HWND MyWindow;
char** textline;
int textlines;
int allocated_lines;
int vpos;
int vspace = 12;
SCROLLINFO si;
LOGFONTA lf;
char scratch[SCRATCH_SIZE];

// "No space!\n" must fit over any stored line, so no block is smaller.
static const char no_space[] = "No space!\n";
static const size_t MIN_LINE_BLOCK = sizeof no_space + 1;  // 12 bytes
static const int GROW_STEP = 128;

static void reset_scroll_state(void) {
  si.cbSize = sizeof(SCROLLINFO);
  si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  si.nMin = 0;
  si.nMax = 0;
  si.nPage = 100;
  si.nPos = 0;
  si.nTrackPos = 0;
  vpos = 0;
}

void InitReport(void) {
  memset(&lf, 0, sizeof lf);
  lf.lfHeight = -13;
  lf.lfWidth = 0;
  lf.lfEscapement = 0;
  lf.lfOrientation = 0;
  lf.lfWeight = FW_NORMAL;
  lf.lfItalic = 0;
  lf.lfUnderline = 0;
  lf.lfStrikeOut = 0;
  lf.lfCharSet = ANSI_CHARSET;
  lf.lfOutPrecision = OUT_STROKE_PRECIS;
  lf.lfClipPrecision = CLIP_STROKE_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  strcpy(lf.lfFaceName, "Courier New");
  reset_scroll_state();
}

// Rows of the client area found by the latest paint; 0 before the first.
// A clear puts the bar's page back to 100, so the page the window really
// shows is kept here.
static int painted_page;

// After a line is stored the view follows the end of the report: a report
// that fits the window starts at the top, a longer one shows its last page.
// The page and position go to the bar along with the range, so the thumb
// always agrees with what the window shows.
static void follow_last_line(void) {
  if (painted_page > 0) si.nPage = (UINT)painted_page;
  int page = si.nPage > 0 ? (int)si.nPage : 1;
  vpos = textlines > page ? textlines - page : 0;
  si.nPos = vpos;
}

void ReportLine(const char* str) {
  size_t l = strlen(str);
  int stored = 0;
  if (textlines >= allocated_lines) {
    char** grown = (char**)PlatformRealloc(
        textline, (size_t)(allocated_lines + GROW_STEP) * sizeof(char*));
    if (grown) {
      textline = grown;
      allocated_lines += GROW_STEP;
    }
  }
  if (textlines >= allocated_lines) {
    if (textlines > 0) strcpy(textline[textlines - 1], no_space);
  } else {
    size_t size = l + 1 > MIN_LINE_BLOCK ? l + 1 : MIN_LINE_BLOCK;
    char* block = (char*)PlatformAlloc(size);
    if (block) {
      memcpy(block, str, l + 1);
      textline[textlines++] = block;
      stored = 1;
    }
  }
  if (stored) follow_last_line();
  si.nMax = textlines + 2;
  SetScrollInfo(MyWindow, SB_VERT, &si, TRUE);
  InvalidateRect(MyWindow, NULL, FALSE);
}

void EarlyTermMsg(void) { ReportLine("Unexpected end of file."); }

void EraseTextBuffer(void) {
  for (int i = 0; i < textlines; i++) PlatformFree(textline[i]);
  textlines = 0;
  si.nMin = 0;
  si.nMax = 0;
  si.nPage = 100;
  si.nPos = 0;
  si.nTrackPos = 0;
  vpos = 0;
  SetScrollInfo(MyWindow, SB_VERT, &si, TRUE);
}

void ReleaseTextBuffer(void) {
  PlatformFree(textline);
  textline = NULL;
  allocated_lines = 0;
}

void ScrollReport(HWND hWnd, unsigned short wScroll) {
  GetScrollInfo(hWnd, SB_VERT, &si);
  switch (wScroll) {
    case SB_LINEUP:
      if (vpos > 0) vpos--;
      break;
    case SB_LINEDOWN:
      if (vpos < si.nMax - 4) vpos++;
      break;
    case SB_PAGEUP:
      vpos -= (int)si.nPage;
      if (vpos < 0) vpos = 0;
      break;
    case SB_PAGEDOWN:
      vpos += (int)si.nPage;
      if (vpos > si.nMax - 3) vpos = si.nMax - 3;
      if (vpos < 0) vpos = 0;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      vpos = si.nTrackPos;
      break;
    default:
      break;
  }
  if (si.nPos != vpos) {
    si.nPos = vpos;
    SetScrollInfo(hWnd, SB_VERT, &si, TRUE);
    InvalidateRect(hWnd, NULL, TRUE);
  }
}

void PaintReport(HWND hWnd) {
  PAINTSTRUCT ps;
  TEXTMETRICA tm;
  RECT rect;

  si.nMax = textlines + 2;
  SetScrollInfo(hWnd, SB_VERT, &si, TRUE);
  HDC hdc = BeginPaint(hWnd, &ps);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ previous = SelectObject(hdc, font);
  if (GetTextMetricsA(hdc, &tm)) vspace = tm.tmHeight + tm.tmExternalLeading;
  GetClientRect(hWnd, &rect);
  GetScrollInfo(hWnd, SB_VERT, &si);

  int rows = vspace > 0 ? (int)((rect.bottom - rect.top) / vspace) : 1;
  if (rows < 1) rows = 1;
  painted_page = rows;
  if ((UINT)rows != si.nPage) {
    si.nPage = (UINT)rows;
    SetScrollInfo(hWnd, SB_VERT, &si, TRUE);
  }

  int y = 5;
  for (int i = vpos; i >= 0 && i < textlines && y <= rect.bottom; i++) {
    SetTextColor(hdc, 0);
    TextOutA(hdc, 5, y, textline[i], (int)strlen(textline[i]));
    y += vspace;
  }

  SelectObject(hdc, previous);
  DeleteObject(font);
  EndPaint(hWnd, &ps);
}

void ReportPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  int needed = vsnprintf(scratch, sizeof scratch, format, args);
  va_end(args);
  if (needed >= (int)sizeof scratch) {
    char* line = (char*)PlatformAlloc((size_t)needed + 1);
    if (line) {
      vsnprintf(line, (size_t)needed + 1, format, again);
      ReportLine(line);
      PlatformFree(line);
      va_end(again);
      return;
    }
  }
  va_end(again);
  if (needed >= 0) ReportLine(scratch);
}
