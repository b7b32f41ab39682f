// File names and system errors on Windows. Inside the converter every name
// is UTF-8, as it is on Linux; the Windows calls that take a name get it as
// UTF-16 (their "W" forms), so a sample called "Cymbale-été.wav" or
// "ドラム.wav" opens whatever the system's code page is.
#pragma once

#include <string>

// UTF-8 to UTF-16 and back. Invalid input becomes U+FFFD, which names no
// file that exists.
std::wstring widen(const std::string& utf8);
std::string narrow(const wchar_t* utf16);

// Windows' own text for a GetLastError() code, in UTF-8, without the final
// full stop and line break, for "cannot open X: REASON".
std::string windows_error_text(unsigned long code);
