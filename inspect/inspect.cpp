#include "inspect/inspect.h"

#include <string.h>

#include "inspect/source.h"
#include "voice/strprintf.h"

// An image of an EPROM's size that starts like an MPEG frame is an image;
// it is not even shown to libsndfile, whose MPEG decoder would complain
// about it on standard error.
static bool starts_like_mpeg(const uint8_t* data, size_t size) {
  return size >= 2 && data[0] == 0xFF && (data[1] & 0xE0) == 0xE0 && eprom_of_size(size) != nullptr;
}

static bool mistaken_mpeg(const AudioFormat& format, uint64_t size) {
  return format.container.find("MPEG") != std::string::npos && eprom_of_size(size) != nullptr;
}

bool is_sound_file(const uint8_t* data, size_t size, AudioFormat* format) {
  if (starts_like_mpeg(data, size)) return false;
  std::string ignored;
  AudioFilePtr audio = open_audio_memory(data, size, &ignored);
  if (!audio || mistaken_mpeg(audio_format(*audio), size)) return false;
  *format = audio_format(*audio);
  return true;
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

static void too_large(FileReport* r) {
  r->kind = FileKind::unusable;
  r->error = strprintf(
      "not an EPROM image: %llu bytes, more than the largest EPROM (%d bytes), and no sound "
      "file either",
      (unsigned long long)r->size, (int)largest_eprom);
}

static std::string damaged(const char* magic, const std::string& why) {
  return strprintf("starts like a sound file (%s) but libsndfile cannot read it: %s", magic, why.c_str());
}

std::string why_not_an_image(const uint8_t* data, size_t size, uint64_t file_size) {
  if (file_size == 0) return "empty file";
  if (file_size > largest_eprom)
    return strprintf("not an EPROM image: %llu bytes, more than the largest EPROM (%d bytes)",
                     (unsigned long long)file_size, (int)largest_eprom);
  std::string why;
  AudioFilePtr audio = starts_like_mpeg(data, size) ? nullptr : open_audio_memory(data, size, &why);
  if (audio && !mistaken_mpeg(audio_format(*audio), size))
    return "a sound file (" + audio_format(*audio).container + "), not an EPROM image";
  if (const char* magic = sound_magic(data, size))
    return damaged(magic, audio ? "it looks like MPEG to it" : why);
  return std::string();
}

FileReport inspect_memory(const std::string& name, const uint8_t* data, size_t size,
                          const InspectOptions& options) {
  FileReport r;
  r.name = name;
  r.size = size;
  if (size == 0) {
    r.error = "empty file";
    return r;
  }
  std::string why;
  AudioFilePtr audio = starts_like_mpeg(data, size) ? nullptr : open_audio_memory(data, size, &why);
  if (audio && !mistaken_mpeg(audio_format(*audio), size)) {
    r.kind = FileKind::sound;
    r.sound = analyse_sound(*audio, options.sound);
    return r;
  }
  if (const char* magic = sound_magic(data, size)) {
    r.error = damaged(magic, audio ? "it looks like MPEG to it" : why);
    return r;
  }
  if (size > largest_eprom) {
    too_large(&r);
    return r;
  }
  r.kind = FileKind::image;
  r.image = analyse_image(data, size, options.image);
  r.bytes.assign(data, data + size);
  return r;
}

FileReport inspect_file(const std::string& path, const InspectOptions& options) {
  SourceFile source;
  std::string error;
  if (!read_source(path, largest_eprom, &source, &error)) {
    FileReport r;
    r.name = path;
    r.error = error;
    return r;
  }
  if (source.size <= largest_eprom) {
    return inspect_memory(path, source.head.data(), source.head.size(), options);
  }
  FileReport r;
  r.name = path;
  r.size = source.size;
  // "-" would be standard input to libsndfile; here it is a file's name.
  AudioFilePtr audio = open_audio(path == "-" ? "./-" : path, &error);
  if (audio) {
    r.kind = FileKind::sound;
    r.sound = analyse_sound(*audio, options.sound);
  } else if (const char* magic = sound_magic(source.head.data(), source.head.size())) {
    r.error = damaged(magic, error);
  } else {
    too_large(&r);
  }
  return r;
}
