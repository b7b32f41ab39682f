#include "text/number.h"

#include <errno.h>
#include <math.h>
#include <stdlib.h>

#include "text/format.h"

std::string range_text(const Range& r) {
  return strprintf("%.15g to %.15g%s%s", r.lo, r.hi, *r.unit ? " " : "", r.unit);
}

bool parse_number(const std::string& text, const Range& range, double* value) {
  const char* s = text.c_str();
  // Spaces, signs before hex, "inf" and "nan" are no numbers an owner types.
  if (text.empty() || isspace((unsigned char)s[0])) return false;
  char* end;
  errno = 0;
  double v;
  if (range.whole && (text.compare(0, 2, "0x") == 0 || text.compare(0, 2, "0X") == 0)) {
    if (text.size() == 2 || !isxdigit((unsigned char)s[2])) return false;
    unsigned long long u = strtoull(s + 2, &end, 16);
    v = (double)u;
  } else {
    v = strtod(s, &end);
  }
  if (*end != 0 || errno == ERANGE || !isfinite(v)) return false;
  if (range.whole && v != floor(v)) return false;
  if (!(v >= range.lo && v <= range.hi)) return false;
  *value = v;
  return true;
}
