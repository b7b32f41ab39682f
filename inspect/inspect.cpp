#include "inspect/inspect.h"

#include <string.h>

#include "platform/files.h"
#include "text/format.h"

// An image of an EPROM's size that starts like an MPEG frame is an image;
// it is not even shown to libsndfile, whose MPEG decoder would complain
// about it on standard error. Nor is any file of an EPROM's exact size that
// libsndfile takes for a headerless MPEG stream.
static bool starts_like_mpeg(const uint8_t* data, size_t size) {
  return size >= 2 && data[0] == 0xFF && (data[1] & 0xE0) == 0xE0 && eprom_of_size(size) != nullptr;
}

static bool mistaken_mpeg(const AudioFormat& format, uint64_t size) {
  return format.container.find("MPEG") != std::string::npos && eprom_of_size(size) != nullptr;
}

// The first bytes of the sound files libsndfile reads. A file that starts
// with one but that libsndfile refuses is a damaged sound file, not an
// image: no EPROM dump is worth analysing for a header's worth of text.
static const char* sound_magic(const uint8_t* data, size_t size) {
  static const char* const magics[] = {"RIFF", "RIFX", "RF64", "FORM", "fLaC",
                                       "OggS", "caff", ".snd", "riff"};
  for (const char* m : magics)
    if (size >= 4 && memcmp(data, m, 4) == 0) return m;
  return nullptr;
}

FileClass classify_file(const uint8_t* data, size_t size, uint64_t file_size) {
  FileClass c;
  if (file_size == 0) {
    c.error = "empty file";
    return c;
  }
  std::string why;
  // A file larger than what is in memory is opened by the caller through its name.
  bool whole = size == file_size;
  AudioFilePtr audio = !whole || starts_like_mpeg(data, size) ? nullptr : open_audio_memory(data, size, &why);
  if (audio && !mistaken_mpeg(audio_format(*audio), size)) {
    c.kind = FileKind::sound;
    c.error = audio_format(*audio).container;
    c.audio = std::move(audio);
    return c;
  }
  if (const char* magic = sound_magic(data, size)) {
    c.error = whole ? strprintf("starts like a sound file (%s) but libsndfile cannot read it: %s", magic,
                                audio ? "it looks like MPEG to it" : why.c_str())
                    : magic;
    c.kind = whole ? FileKind::unusable : FileKind::sound;
    return c;
  }
  if (file_size > largest_eprom) {
    c.error = strprintf("not an EPROM image: %llu bytes, more than the largest EPROM (%d bytes), and no sound "
                        "file either",
                        (unsigned long long)file_size, (int)largest_eprom);
    return c;
  }
  c.kind = FileKind::image;
  return c;
}

FileReport inspect_memory(const std::string& name, const uint8_t* data, size_t size,
                          const InspectOptions& options) {
  FileReport r;
  r.name = name;
  r.size = size;
  FileClass c = classify_file(data, size, size);
  r.kind = c.kind;
  if (c.kind == FileKind::sound)
    r.sound = analyse_sound(*c.audio, options.sound);
  else if (c.kind == FileKind::image)
    r.image = analyse_image(data, size, options.image), r.bytes.assign(data, data + size);
  else
    r.error = c.error;
  return r;
}

FileReport inspect_file(const std::string& path, const InspectOptions& options) {
  FileHead head;
  std::string error;
  if (!read_head(path, largest_eprom, &head, &error)) {
    FileReport r;
    r.name = path;
    r.error = error;
    r.unreadable = true;
    return r;
  }
  if (head.size <= largest_eprom) return inspect_memory(path, head.head.data(), head.head.size(), options);
  // Larger than any EPROM: a sound file read through in blocks, or nothing.
  FileReport r;
  r.name = path;
  r.size = head.size;
  FileClass c = classify_file(head.head.data(), head.head.size(), head.size);
  // "-" would be standard input to libsndfile; here it is a file's name.
  AudioFilePtr audio = open_audio(path == "-" ? "./-" : path, &error);
  if (audio) {
    r.kind = FileKind::sound;
    r.sound = analyse_sound(*audio, options.sound);
  } else if (c.kind == FileKind::sound) {
    r.error = strprintf("starts like a sound file (%s) but libsndfile cannot read it: %s", c.error.c_str(),
                        error.c_str());
  } else {
    r.error = c.error;
  }
  return r;
}
