// The few ways the converter writes numbers for people: printf into a
// string, levels in dB, times in milliseconds, rates in hertz. One place,
// so that a level reads the same in every report.
#pragma once

#include <stdint.h>

#include <string>

std::string strprintf(const char* format, ...)
#if defined(__MINGW32__)  // MinGW-w64's own C99 printf, not msvcrt's
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// 20 log10(peak); -infinity for 0.
double to_dbfs(double peak);
// "-3.2 dBFS", or "silent" for 0.
std::string dbfs_text(double peak);
// A gain factor as "+6.0 dB"; a hair below 1 reads "+0.0 dB", never "-0.0 dB".
std::string gain_text(double factor);
// "12.5 ms".
std::string ms_text(double seconds);
// A rate as the owner would write it: "27200 Hz", or "27350.50 Hz" when it has a fraction.
std::string hz_text(double rate);
// "1 sample (0.0 ms)", "300 samples (11.0 ms)" at `rate`.
std::string samples_text(int64_t n, double rate);
