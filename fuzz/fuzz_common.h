// Helpers shared by the fuzz targets: a private directory for the files the
// conversions and the settings need (they work on names, not streams), whole
// file reads and writes, and a matcher for report lines against the
// program's printf-style texts.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// The directory of this process, made on first use and removed with its
// files when the process ends.
const char* FuzzDir(void);
// FuzzDir() + "/" + name, remembered so the file is removed at exit.
std::string FuzzPath(const char* name);

// Names the conversion's input and output files in FuzzDir(): sets
// dmxfilename and output_filename and returns the two paths.
void FuzzConversionFiles(const char* input, const char* output, std::string* input_path,
                         std::string* output_path);

void WriteWhole(const std::string& path, const uint8_t* data, size_t size);
// The file's bytes; false when it cannot be opened.
bool ReadWhole(const std::string& path, std::string* out);

// Whether `line` can be what printf made of `format`: "%s" stands for any
// text, "%d", "%ld" and "%u" for a decimal number, "%2d" for one padded to
// two places, "%.0f" and "%.3f" for a number with 0 or 3 decimals, "%%" for a
// percent sign (the headroom line ends in one).
bool MatchesFormat(const char* format, const char* line);

// The index of the first format of the null-terminated list that `line`
// matches, or -1.
int MatchingFormat(const char* const* formats, const char* line);

// Stops the run with libFuzzer's crash handling when an invariant fails,
// printing what was expected.
#define FUZZ_CHECK(cond, ...)                  \
  do {                                         \
    if (!(cond)) FuzzFail(#cond, __VA_ARGS__); \
  } while (0)
[[noreturn]] void FuzzFail(const char* cond, const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
