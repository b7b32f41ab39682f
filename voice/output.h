// Putting a finished file in place. An image that is half written, or of
// the wrong size, is worse than none: it gets burned into a chip.
#pragma once

#include <stddef.h>

#include <stdint.h>

#include <string>
#include <vector>

// Writes `size` bytes to `path`, whole. A regular file, or a name that does
// not exist yet, is written to a temporary file beside it and renamed over
// it only when complete, so the old file stays if anything fails. A device,
// a FIFO or "-" (standard output) is written in place, never renamed over.
// False with a one-line reason.
bool write_output(const std::string& path, const void* data, size_t size, std::string* error);

struct OutputFile {
  std::string path;
  std::vector<uint8_t> bytes;
};

// Writes a set of files that belong together (the chips of one region, an
// image and its preview) as write_output writes one, but all or nothing:
// every regular file goes to a temporary file beside it first, and only
// when all of them (and every device or FIFO of the set) are written whole
// are they renamed into place. A failure leaves the old files as they were.
bool write_outputs(const std::vector<OutputFile>& files, std::string* error);

// True when `a` and `b` name the same existing file (through links or
// other spellings too), so an output would overwrite the input.
bool same_file(const std::string& a, const std::string& b);
