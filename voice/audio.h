// Sound files in and out, through libsndfile: whatever a musician's editor
// wrote (WAV of any sample format, extensible WAV, AIFF, FLAC, Ogg, W64,
// RF64, CAF) read as one channel of floats, and mono WAV files written to
// memory for the caller to put in place whole.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>
#include <string>
#include <vector>

struct AudioFile;  // an open sound file
struct AudioFileCloser {
  void operator()(AudioFile* file) const;
};
using AudioFilePtr = std::unique_ptr<AudioFile, AudioFileCloser>;

struct AudioFormat {
  std::string container;  // libsndfile's name for it: "WAVEX (Microsoft)", "FLAC (Free Lossless Audio Codec)"
  std::string encoding;   // "Signed 24 bit PCM", "32 bit float", "U-Law"
  int channels = 0;
  int rate = 0;         // frames per second
  int64_t frames = -1;  // -1 when the file does not say (a stream)
  bool stream = false;  // read from a pipe or a FIFO: it cannot seek, and is read only as far as needed
};

// Opens `path` for reading; "-" is standard input, which may be a pipe.
// Null with a one-line reason when it is no sound file libsndfile reads;
// `cannot_open`, when given, tells whether the file could not even be
// opened (missing, no permission) rather than not being sound.
AudioFilePtr open_audio(const std::string& path, std::string* error, bool* cannot_open = nullptr);
// The same over bytes in memory, which must outlive the file.
AudioFilePtr open_audio_memory(const void* data, size_t size, std::string* error);

const AudioFormat& audio_format(const AudioFile& file);

struct MonoRead {
  long frames = 0;        // frames delivered; 0 at the end of the file
  int64_t nonfinite = 0;  // NaN or infinite samples met, counted as 0
  bool failed = false;    // the file could not be read on (error says why)
  std::string error;
};

// Reads up to `n` frames into `out` as one channel: the average of all
// channels when `channel` is 0, else channel `channel` (1-based, at most
// the file's channel count). Full scale is +-1.0; nothing is clipped.
MonoRead read_mono(AudioFile& file, int channel, float* out, long n);
// Reads up to `n` frames of every channel, interleaved, into `out` (room
// for n * channels floats): what a file's own levels are measured on.
// NaN or infinite samples count as 0, as above.
MonoRead read_frames(AudioFile& file, float* out, long n);

enum class WavSamples { pcm16, float32 };

// A mono WAV file of `samples` (fractions of full scale, clipped to +-1 for
// 16-bit) at `rate` Hz. False with a reason when libsndfile refuses.
bool encode_wav(const float* samples, size_t n, int rate, WavSamples kind,
                std::vector<uint8_t>* out, std::string* error);
