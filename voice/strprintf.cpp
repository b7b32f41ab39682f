#include "voice/strprintf.h"

#include <stdarg.h>
#include <stdio.h>

std::string strprintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[256];
  int n = vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) return std::string();
  if ((size_t)n < sizeof small) return std::string(small, (size_t)n);
  std::string text((size_t)n + 1, '\0');
  va_start(args, format);
  vsnprintf(&text[0], text.size(), format, args);
  va_end(args);
  text.resize((size_t)n);
  return text;
}
