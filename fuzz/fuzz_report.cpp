// The report log under arbitrary sequences of operations on a headless
// window: appends of lines of any length (directly and through the
// formatter), bursts of lines, clears, releases of the line array, scroll
// actions with any code, thumb drags, paints at any client height and font
// pitch, and allocation failures.
//
// Invariants after every operation: 0 <= vpos <= textlines + 2 (the last
// position of the bar, whose range is textlines + 2); textlines <=
// allocated_lines, a multiple of 128, with an array whenever there is room;
// the bar's range follows the log; every stored line holds what was
// appended (or "No space!\n" where the array could not grow); a paint draws
// the lines from vpos down, one per row, as far as the client area reaches.
#include <string.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "platform/platform.h"
#include "report/report.h"

static HWND window;
static std::vector<std::string> shadow;  // what the log should hold

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  window = HeadlessCreateWindow(640, 400);
  MyWindow = window;
  InitReport();
  return 0;
}

struct Input {
  const uint8_t* p;
  size_t left;
  unsigned byte() {
    if (!left) return 0;
    left--;
    return *p++;
  }
  unsigned word() { return byte() | (byte() << 8); }
};

static void check_state(void) {
  FUZZ_CHECK(vpos >= 0 && vpos <= textlines + 2, "vpos %d with %d lines", vpos, textlines);
  FUZZ_CHECK(textlines >= 0 && textlines <= allocated_lines, "%d lines in %d entries", textlines,
             allocated_lines);
  FUZZ_CHECK(allocated_lines % 128 == 0, "%d entries", allocated_lines);
  FUZZ_CHECK((allocated_lines == 0) == (textline == NULL), "array %p for %d entries",
             (void*)textline, allocated_lines);
  FUZZ_CHECK((size_t)textlines == shadow.size(), "%d lines, %zu appended", textlines,
             shadow.size());
  if (textlines > 0)
    FUZZ_CHECK(shadow.back() == textline[textlines - 1], "last line \"%s\"",
               textline[textlines - 1]);
}

static void append(const std::string& text, bool formatted) {
  int before = textlines;
  int room = allocated_lines;
  if (formatted)
    ReportPrintf("%s", text.c_str());
  else
    ReportLine(text.c_str());
  std::string wanted = text.substr(0, strlen(text.c_str()));
  if (textlines == before + 1) {
    // A long formatted line whose heap block could not be had is cut to
    // what the scratch buffer holds.
    const char* got = textline[before];
    bool cut = formatted && wanted.size() >= SCRATCH_SIZE &&
               wanted.compare(0, SCRATCH_SIZE - 1, got) == 0 && strlen(got) == SCRATCH_SIZE - 1;
    FUZZ_CHECK(wanted == got || cut, "line %d stored as \"%.60s\"", before, got);
    shadow.push_back(got);
  } else {
    FUZZ_CHECK(textlines == before, "%d lines after one append to %d", textlines, before);
    // The array was full and could not grow: the last line says so. A
    // line whose own block could not be had is dropped without a word.
    if (before >= room && allocated_lines == room && before > 0) shadow.back() = "No space!\n";
  }
  FUZZ_CHECK(si.nMax == textlines + 2 && window->bar.nMax == textlines + 2, "range %d / %d",
             si.nMax, window->bar.nMax);
}

static void paint(Input* in) {
  int height = (int16_t)in->word();
  window->client_height = height;
  window->tm_height = (int8_t)in->byte();
  window->tm_external_leading = (int8_t)in->byte() % 8;
  window->metrics_fail = in->byte() & 1;
  int pitch = vspace;
  if (!window->metrics_fail) pitch = window->tm_height + window->tm_external_leading;

  PaintReport(window);
  FUZZ_CHECK(vspace == pitch, "pitch %d, expected %d", vspace, pitch);
  FUZZ_CHECK(window->bar.nMax == textlines + 2, "range %d", window->bar.nMax);
  FUZZ_CHECK(window->bar.nPage >= 1, "page %u", window->bar.nPage);
  int rows = 0;
  for (int i = vpos, y = 5; i < textlines && y <= height; i++, y += pitch) {
    if (rows < HEADLESS_MAX_TEXTS) {
      const HeadlessText* t = &window->text[rows];
      FUZZ_CHECK(t->y == y && t->x == 5 && t->length == (int)strlen(textline[i]) &&
                     strncmp(t->text, textline[i], sizeof t->text - 1) == 0,
                 "row %d drew \"%.40s\" at %d", rows, t->text, t->y);
    }
    rows++;
  }
  FUZZ_CHECK(window->texts == (rows < HEADLESS_MAX_TEXTS ? rows : HEADLESS_MAX_TEXTS),
             "%d rows drawn, %d expected", window->texts, rows);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HeadlessReset();
  EraseTextBuffer();
  ReleaseTextBuffer();
  shadow.clear();
  window->client_height = 400;
  window->tm_height = 15;
  window->tm_external_leading = 0;
  window->metrics_fail = 0;
  vspace = 12;
  Input in = {data, size};
  while (in.left) {
    unsigned op = in.byte() % 10;
    switch (op) {
      case 0: {  // a short line of the input's own bytes
        unsigned len = in.byte();
        std::string text;
        while (len-- && in.left) text += (char)in.byte();
        append(text, in.byte() & 1);
        break;
      }
      case 1: {  // a long line, far beyond the scratch buffer
        unsigned len = in.word() * 4;
        append(std::string(len, (char)('A' + len % 26)), in.byte() & 1);
        break;
      }
      case 2: {  // a burst, across the array's steps of 128
        unsigned count = in.byte() + 1;
        for (unsigned i = 0; i < count; i++) append("line " + std::to_string(i), false);
        break;
      }
      case 3:
        EraseTextBuffer();
        shadow.clear();
        FUZZ_CHECK(vpos == 0 && window->bar.nMax == 0 && window->bar.nPos == 0, "after clear");
        break;
      case 4:
        EraseTextBuffer();
        ReleaseTextBuffer();
        shadow.clear();
        break;
      case 5:
        ScrollReport(window, (unsigned short)in.word());
        break;
      case 6: {  // the user drags the thumb somewhere along the bar
        const SCROLLINFO& b = window->bar;
        int last = b.nMax - (b.nPage > 0 ? (int)b.nPage - 1 : 0);
        if (last < b.nMin) last = b.nMin;
        int pos = b.nMin + (int)(in.word() % (unsigned)(last - b.nMin + 1));
        HeadlessTrackThumb(window, pos);
        ScrollReport(window, (in.byte() & 1) ? SB_THUMBTRACK : SB_THUMBPOSITION);
        FUZZ_CHECK(vpos == pos, "thumb at %d, view at %d", pos, vpos);
        break;
      }
      case 7:
        paint(&in);
        break;
      case 8: {
        unsigned b = in.byte();
        HeadlessFailAllocations((int)(b & 7), (int)((b >> 3) & 3));
        break;
      }
      default:
        append(std::string(), false);
        break;
    }
    check_state();
  }
  HeadlessReset();
  for (int i = 0; i < textlines; i++)
    FUZZ_CHECK(shadow[i] == textline[i], "line %d is \"%.60s\", not \"%.60s\"", i, textline[i],
               shadow[i].c_str());
  return 0;
}
