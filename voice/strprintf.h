// printf into a std::string, for the one-line facts and reasons.
#pragma once

#include <string>

std::string strprintf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
