// Numbers as people type them into the converter's options, read by one
// function, against limits that are written once and used both to check a
// value and to say what is allowed.
#pragma once

#include <string>

struct Range {
  double lo, hi;     // inclusive
  bool whole;        // whole numbers only (then also 0x hex)
  const char* unit;  // "Hz", "bytes", "dB", "ms", or "" for a count
};

// "1000 to 200000 Hz".
std::string range_text(const Range& range);

// True when `text` is a number inside `range` and nothing else: decimal
// with a fraction or an exponent (27200, 31250.5, 2.72e4), or, for whole
// numbers, also 0x followed by hex digits (0x1000).
bool parse_number(const std::string& text, const Range& range, double* value);
