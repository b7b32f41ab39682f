#include "text/format.h"

#include <math.h>
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

double to_dbfs(double peak) { return peak > 0 ? 20 * log10(peak) : -INFINITY; }

std::string dbfs_text(double peak) { return peak > 0 ? strprintf("%.1f dBFS", to_dbfs(peak)) : "silent"; }

std::string gain_text(double factor) {
  double db = round(20 * log10(factor) * 10) / 10;
  return strprintf("%+.1f dB", db == 0 ? 0.0 : db);
}

std::string ms_text(double seconds) { return strprintf("%.1f ms", seconds * 1000); }

std::string hz_text(double rate) {
  return rate == floor(rate) ? strprintf("%.0f Hz", rate) : strprintf("%.2f Hz", rate);
}

std::string samples_text(int64_t n, double rate) {
  return strprintf("%lld sample%s (%s)", (long long)n, n == 1 ? "" : "s", ms_text((double)n / rate).c_str());
}
