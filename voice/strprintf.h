// printf into a std::string, for the one-line facts and reasons.
#pragma once

#include <string>

std::string strprintf(const char* format, ...)
#if defined(__MINGW32__)  // MinGW-w64's own C99 printf, not msvcrt's
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
