// One file given to `info`: an EPROM image, a sound file, or neither, told
// apart and analysed.
//
// A file is a sound file when libsndfile recognises its format, which it
// does by the header (RIFF, FORM, fLaC, OggS, ...); every other file is an
// image, since an EPROM image has no header at all. One exception: a file
// of an EPROM's exact size that libsndfile would take for a headerless
// MPEG stream is an image, because dumps may hold MPEG's sync pattern
// (0xFF followed by 0xE0 or more) by chance. And a file that starts like a
// sound file ("RIFF", "FORM", "fLaC", ...) but that libsndfile cannot read
// is a damaged sound file, reported as unusable rather than as an image.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "inspect/image.h"
#include "inspect/sound.h"

enum class FileKind { image, sound, unusable };

struct FileReport {
  std::string name;
  FileKind kind = FileKind::unusable;
  std::string error;           // unusable: why, in one line
  bool unreadable = false;     // unusable because it could not be opened or read at all
  uint64_t size = 0;           // bytes in the file
  ImageFacts image;            // kind image
  std::vector<uint8_t> bytes;  // kind image: the image itself, for pictures
  SoundFacts sound;            // kind sound
};

struct InspectOptions {
  ImageOptions image;
  SoundOptions sound;
};

// Reads at most largest_eprom bytes of a file into memory. A larger file is
// either a sound file, read through in blocks, or refused as no image
// without being read: a 4 GB file costs as little as a small one.
FileReport inspect_file(const std::string& path, const InspectOptions& options);

// The same for a file's bytes already in memory (`size` of any length).
FileReport inspect_memory(const std::string& name, const uint8_t* data, size_t size,
                          const InspectOptions& options);

// The rule above, for the first `size` bytes of a file of `file_size`
// bytes: a sound file (with the file opened, when all of it is in memory),
// an image, or unusable with the reason (empty, damaged, or larger than any
// EPROM and no sound file). Used by every command that takes either.
struct FileClass {
  FileKind kind = FileKind::unusable;
  std::string error;   // unusable: why; sound: the container, for "a sound file (...)"
  AudioFilePtr audio;  // sound, when size == file_size
};
FileClass classify_file(const uint8_t* data, size_t size, uint64_t file_size);
