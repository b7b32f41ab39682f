// Stand-in for the window system on builds without the Windows API: a
// headless scroll bar, paint and font calls that draw into a record, the
// current cursor and a list of sound requests. It behaves the way the report
// log and the conversions rely on the real platform behaving.
#include "platform/platform.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

static HCURSOR current_cursor;
static int cursor_changes;
static int fonts_alive;
static struct HeadlessSound sounds[HEADLESS_MAX_SOUNDS];
static int sound_count;
static int alloc_successes_left = -1;  // negative: no failures injected
static int alloc_failures_left;

HWND HeadlessCreateWindow(int client_width, int client_height) {
  HWND w = (HWND)calloc(1, sizeof(struct HWND__));
  if (!w) return 0;
  w->client_width = client_width;
  w->client_height = client_height;
  w->bar.cbSize = sizeof(SCROLLINFO);
  w->tm_height = 15;
  return w;
}

void HeadlessDestroyWindow(HWND hwnd) { free(hwnd); }

// The clamping Windows applies to a scroll bar: the page never exceeds the
// range, and the position never goes past the point where the page reaches
// the end of the range.
static void clamp_bar(SCROLLINFO* b) {
  long range = (long)b->nMax - (long)b->nMin + 1;
  if (range < 0) range = 0;
  if ((long)b->nPage > range) b->nPage = (UINT)range;
  long last = (long)b->nMax - (b->nPage > 0 ? (long)b->nPage - 1 : 0);
  if (last < b->nMin) last = b->nMin;
  if (b->nPos < b->nMin) b->nPos = b->nMin;
  if (b->nPos > last) b->nPos = (int)last;
}

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO si, BOOL redraw) {
  (void)redraw;
  if (!hwnd || bar != SB_VERT || !si) return 0;
  hwnd->set_scroll_calls++;
  if (si->fMask & SIF_RANGE) {
    hwnd->bar.nMin = si->nMin;
    hwnd->bar.nMax = si->nMax;
  }
  if (si->fMask & SIF_PAGE) hwnd->bar.nPage = si->nPage;
  if (si->fMask & SIF_POS) hwnd->bar.nPos = si->nPos;
  clamp_bar(&hwnd->bar);
  hwnd->bar.nTrackPos = hwnd->bar.nPos;
  return hwnd->bar.nPos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO si) {
  if (!hwnd || bar != SB_VERT || !si) return FALSE;
  if (si->fMask & SIF_RANGE) {
    si->nMin = hwnd->bar.nMin;
    si->nMax = hwnd->bar.nMax;
  }
  if (si->fMask & SIF_PAGE) si->nPage = hwnd->bar.nPage;
  if (si->fMask & SIF_POS) si->nPos = hwnd->bar.nPos;
  if (si->fMask & SIF_TRACKPOS) si->nTrackPos = hwnd->bar.nTrackPos;
  return TRUE;
}

void HeadlessTrackThumb(HWND hwnd, int pos) {
  if (hwnd) hwnd->bar.nTrackPos = pos;
}

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  (void)rect;
  if (!hwnd) return FALSE;
  if (erase)
    hwnd->invalidate_erase++;
  else
    hwnd->invalidate_noerase++;
  return TRUE;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
  if (!hwnd) return 0;
  hwnd->paints++;
  hwnd->texts = 0;
  if (ps) {
    ps->hdc = hwnd;
    ps->fErase = FALSE;
    GetClientRect(hwnd, &ps->rcPaint);
  }
  return hwnd;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  (void)ps;
  return hwnd != 0;
}

HFONT CreateFontIndirectA(const LOGFONTA* lf) {
  if (!lf) return 0;
  // The font's identity is a heap copy of its description; nothing reads it.
  LOGFONTA* copy = (LOGFONTA*)malloc(sizeof(LOGFONTA));
  if (copy) {
    *copy = *lf;
    fonts_alive++;
  }
  return copy;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ obj) {
  if (!hdc) return 0;
  HGDIOBJ previous = hdc->selected;
  hdc->selected = obj;
  return previous;
}

BOOL DeleteObject(HGDIOBJ obj) {
  if (!obj) return FALSE;
  free(obj);
  fonts_alive--;
  return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm) {
  if (!hdc || !tm || hdc->metrics_fail) return FALSE;
  memset(tm, 0, sizeof *tm);
  tm->tmHeight = hdc->tm_height;
  tm->tmExternalLeading = hdc->tm_external_leading;
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
  if (!hwnd || !rect) return FALSE;
  rect->left = 0;
  rect->top = 0;
  rect->right = hwnd->client_width;
  rect->bottom = hwnd->client_height;
  return TRUE;
}

static COLORREF text_color;

COLORREF SetTextColor(HDC hdc, COLORREF color) {
  (void)hdc;
  COLORREF previous = text_color;
  text_color = color;
  return previous;
}

BOOL TextOutA(HDC hdc, int x, int y, LPCSTR text, int length) {
  if (!hdc || !text || length < 0) return FALSE;
  if (hdc->texts < HEADLESS_MAX_TEXTS) {
    struct HeadlessText* t = &hdc->text[hdc->texts++];
    int kept = length < (int)sizeof t->text - 1 ? length : (int)sizeof t->text - 1;
    t->x = x;
    t->y = y;
    t->color = text_color;
    memcpy(t->text, text, (size_t)kept);
    t->text[kept] = 0;
    t->length = length;
  }
  return TRUE;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  (void)instance;
  return name;
}

HCURSOR SetCursor(HCURSOR cursor) {
  HCURSOR previous = current_cursor;
  current_cursor = cursor;
  cursor_changes++;
  return previous;
}

HCURSOR HeadlessCurrentCursor(void) { return current_cursor; }
int HeadlessCursorChanges(void) { return cursor_changes; }
int HeadlessFontsAlive(void) { return fonts_alive; }

BOOL PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
  (void)module;
  if (sound_count < HEADLESS_MAX_SOUNDS && sound) {
    snprintf(sounds[sound_count].name, sizeof sounds[sound_count].name, "%s", sound);
    sounds[sound_count].flags = flags;
    sound_count++;
  }
  return FALSE;  // there is no sound device here, as with a busy driver
}

int HeadlessSoundCount(void) { return sound_count; }

const struct HeadlessSound* HeadlessSoundAt(int index) {
  if (index < 0 || index >= sound_count) return 0;
  return &sounds[index];
}

void HeadlessFailAllocations(int successes, int failures) {
  alloc_successes_left = successes;
  alloc_failures_left = failures;
}

void HeadlessReset(void) {
  current_cursor = 0;
  cursor_changes = 0;
  sound_count = 0;
  alloc_successes_left = -1;
  alloc_failures_left = 0;
}

static int injected_failure(void) {
  if (alloc_successes_left < 0) return 0;
  if (alloc_successes_left > 0) {
    alloc_successes_left--;
    return 0;
  }
  if (alloc_failures_left > 0) {
    alloc_failures_left--;
    return 1;
  }
  alloc_successes_left = -1;
  return 0;
}

void* PlatformAlloc(size_t size) {
  if (injected_failure()) return 0;
  return malloc(size);
}

void* PlatformRealloc(void* block, size_t size) {
  if (injected_failure()) return 0;
  return realloc(block, size);
}

void PlatformFree(void* block) { free(block); }

int SameFile(const char* a, const char* b) { return same_file(a, b); }

int ReplaceFileWith(const char* temp, const char* target) {
  return rename(temp, target) == 0 ? 0 : -1;
}

int PlatformSeek(FILE* stream, int64_t offset, int whence) {
  return fseeko(stream, (off_t)offset, whence);
}

int64_t PlatformTell(FILE* stream) { return (int64_t)ftello(stream); }

int PlatformGetCwd(char* buf, int size) {
  return getcwd(buf, (size_t)size) != NULL;
}
