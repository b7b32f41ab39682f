#include "cli/inspect_options.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>

bool parse_hz(const char* text, bool whole, double* hz) {
  char* end;
  errno = 0;
  double v = strtod(text, &end);
  if (end == text || *end != 0 || errno == ERANGE || !(v >= 1000 && v <= 200000)) return false;
  if (whole && v != floor(v)) return false;
  *hz = v;
  return true;
}

static bool parse_int(const char* text, char stop, const char** rest, long* v) {
  char* end;
  errno = 0;
  if (*text < '0' || *text > '9') return false;
  *v = strtol(text, &end, 10);
  if (end == text || *end != stop || errno == ERANGE) return false;
  *rest = end;
  return true;
}

bool parse_plot_size(const char* text, PlotSize* size) {
  long w, h;
  const char* rest;
  if (!parse_int(text, 'x', &rest, &w) || !parse_int(rest + 1, 0, &rest, &h)) return false;
  if (w < plot_min_width || w > plot_max_width || h < plot_min_height || h > plot_max_height) return false;
  size->width = (int)w;
  size->height = (int)h;
  return true;
}

bool parse_count(const char* text, int* n) {
  long v;
  const char* rest;
  if (!parse_int(text, 0, &rest, &v) || v < 1 || v > 1000000) return false;
  *n = (int)v;
  return true;
}
