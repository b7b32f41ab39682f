// What write_outputs asks of the file system, once for POSIX
// (output_posix.cpp) and once through Windows' wide calls (output_win.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// True for a regular file or a name that does not exist yet: replaced by
// renaming a finished file over it. A device, a FIFO or "-" (standard
// output) is written in place: renaming over it would put a plain file
// where /dev/null or the programmer's pipe was.
bool replaced_by_rename(const std::string& path);

// The bytes in a new temporary file beside `path`, flushed to the disk;
// its name in `temp` (cleared on failure, with the file removed).
bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                     std::string* error);

// Writes `size` bytes to a device, a FIFO or "-" as it is.
bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error);

// Renames the finished temporary file over `path`.
bool put_in_place(const std::string& temp, const std::string& path, std::string* error);

void remove_temporary(const std::string& temp);
