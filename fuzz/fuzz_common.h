// Helpers shared by the fuzz targets: files in a private folder (the
// conversions and the settings work on names, not streams) and the check
// that stops a run when an invariant fails.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// A file of this name in the process's own folder, made on first use; the
// folder and its files are removed when the process ends.
std::string FuzzPath(const char* name);

// Names the conversion's input and output files in that folder: sets
// dmxfilename and output_filename and returns the two paths.
void FuzzConversionFiles(const char* input, const char* output, std::string* input_path,
                         std::string* output_path);

// Moves the next `n` bytes of the input into `out`; false when fewer are left.
bool FuzzTake(const uint8_t** data, size_t* size, void* out, size_t n);

void WriteWhole(const std::string& path, const uint8_t* data, size_t size);
// The file's bytes; false when it cannot be opened.
bool ReadWhole(const std::string& path, std::string* out);

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
