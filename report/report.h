// The report log: the lines every operation narrates, kept in memory in the
// order appended and shown in the main window, one line per row, paged with
// the window's vertical scroll bar.
#pragma once

#include "platform/platform.h"

// The main window; the log's append and clear address it. Null until the
// window exists (and always in the command-line converter).
extern HWND MyWindow;

extern char** textline;      // the stored lines; null until the first append
extern int textlines;        // lines held
extern int allocated_lines;  // entries textline has room for, a multiple of 128
extern int vpos;             // index of the line on the top row of the view
extern int vspace;           // line pitch in pixels
extern SCROLLINFO si;        // our copy of the vertical scroll bar's state
extern LOGFONTA lf;          // the report font

#define SCRATCH_SIZE 128
// Report lines are formatted here before they are appended.
extern char scratch[SCRATCH_SIZE];

// Sets the report font and the initial scroll state; called when the main
// window is created.
void InitReport(void);

void ReportLine(const char* str);
void EarlyTermMsg(void);
void EraseTextBuffer(void);
// Releases the line array itself (at shutdown, after EraseTextBuffer).
void ReleaseTextBuffer(void);
void ScrollReport(HWND hWnd, unsigned short wScroll);
void PaintReport(HWND hWnd);

// Formats one report line and appends it. A line that fits is formatted into
// `scratch`; a longer one (a long file name, say) goes whole into a heap
// block of its own, so no name is ever cut.
void ReportPrintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
