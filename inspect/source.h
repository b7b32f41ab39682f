// Reading the files `info` and `listen` are given. Owners point these
// commands at whatever lies in a folder of dumps: folders, named pipes,
// devices, files they cannot read, files of gigabytes. Only regular files
// are read, and only their first bytes; everything else is refused with a
// reason, and nothing waits on a pipe that has no writer.
//
// The calls that differ between systems live in source_posix.cpp alone; a
// twin of that file serves another system.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

struct SourceFile {
  uint64_t size = 0;          // bytes in the file
  std::vector<uint8_t> head;  // its first min(size, limit) bytes
};

// The size and the first `limit` bytes of the regular file `path`. False
// with a one-line reason (no file name in it) for anything else: a name
// that does not open, a folder, a FIFO, a device, a read error.
bool read_source(const std::string& path, size_t limit, SourceFile* out, std::string* error);
