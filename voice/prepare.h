// Preparing a voice for a card: from any sound file to the bytes of the
// card's EPROM region, in steps that each take a buffer and an explicit
// options record:
//   read      the input, one channel (mixed or chosen), leading silence
//             dropped on request, resampled to the card's clock, and only as
//             much of it as the region can hold (plus the filter's look-ahead)
//   fit       cut what the region cannot hold, with a fade-out
//   level     normalize, or a fixed gain; count what lies beyond full scale
//   encode    one code per sample for the card's DAC
//   image     the first byte, the sound, the padding; split over chips
// and prepare_voice, which composes them and returns what it found and did;
// prepare_report says that in lines a person reads. Writing the files is
// the caller's business.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "voice/audio.h"
#include "voice/dac.h"
#include "voice/machine.h"
#include "text/number.h"

// What the owner asked for; zeros mean "the machine's".
struct PrepareOptions {
  const Machine* machine = default_machine();
  double rate = 0;         // the card's clock in Hz (--rate)
  uint32_t region = 0;     // bytes one trigger plays (--eprom, --size)
  uint32_t chip = 0;       // bytes per EPROM file (--chips)
  bool code_given = false;  // --code: `code` replaces the machine's
  SampleCode code = SampleCode::u255;
  Encoder encoder = Encoder::dac;
  int channel = 0;          // 0: the average of all channels, else 1-based
  bool normalize = true;    // else gain_db
  double gain_db = 0;
  double fade_ms = 20;
  bool cut = true;   // false: a sound longer than the region is refused
  bool pad = true;   // false: only the used bytes are written
  bool trim = false;  // drop leading silence first
};

// Limits of the options, for the commands' checks and their messages.
extern const Range rate_range;        // the card's clock, Hz
extern const Range input_rate_range;  // a file's own rate, Hz
extern const Range region_range;      // bytes
extern const Range channel_range;
extern const Range fade_range;        // ms
extern const Range gain_range;        // dB
extern const double trim_threshold;   // -60 dBFS, as a fraction of full scale
extern const double max_input_level;  // +120 dBFS: beyond it a file is damaged

// The options with the machine's values filled in, and the layout of the
// files that hold the region.
struct VoiceSettings {
  const Machine* machine = default_machine();
  SampleCode code = SampleCode::u255;
  Encoder encoder = Encoder::dac;
  double rate = 0;
  uint32_t region = 0;
  uint32_t chip = 0;        // bytes of the chip the region goes on, 0 when not said
  uint32_t files = 1;       // chips the region is split over (1: one file)
  uint8_t first_byte = 0x80;
  uint8_t pad_byte = 0x80;
};

// The settings of `options`, or the one-line reason they do not go
// together (an unknown value, a rate out of range, a region that is no
// whole number of chips, --no-pad with chips, the curve encoder with linear
// codes). Empty when they are usable.
std::string resolve_options(const PrepareOptions& options, VoiceSettings* settings);

// ---- The steps ----

struct ReadOptions {
  int channel = 0;
  bool trim = false;
  double rate = 0;  // the output's rate
  size_t want = 0;  // samples at `rate` to stop at (the region's room and one more)
};
struct ReadResult {
  std::vector<float> sound;  // at the output's rate, at least `want` samples unless the input ended
  int64_t frames_read = 0;   // input frames read
  int64_t trimmed = 0;       // input frames of leading silence dropped
  int64_t nonfinite = 0;
  int64_t total = -1;        // the whole sound's length at the output's rate, -1 when unknown
  bool ended = false;        // the input was read to its end
  bool failed = false;       // the input cannot be used; error says why
  bool library_failed = false;  // with failed: the resampler failed, not the input
  std::string error;
};
ReadResult read_voice(AudioFile& input, const ReadOptions& options);

struct FitResult {
  size_t kept = 0;
  bool cut = false;
  size_t faded = 0;  // samples under the fade-out
};
// Keeps at most `room` samples; a longer sound is cut and faded out over
// its last `fade` samples along half a cosine, down to 0 at the last one.
FitResult fit_region(std::vector<float>* sound, size_t room, size_t fade);

struct LevelOptions {
  bool normalize = true;
  double gain_db = 0;
  SampleCode code = SampleCode::u255;
};
struct LevelResult {
  double peak = 0;     // the loudest sample before the gain, fraction of full scale
  double gain = 1;     // the factor applied
  int64_t clipped = 0;  // samples beyond what the code reaches, after the gain
};
// Multiplies the sound by the gain: the one that takes its peak to the
// code's full scale, or the fixed one. A silent sound keeps a gain of 1.
LevelResult set_level(std::vector<float>* sound, const LevelOptions& options);

// One code per sample; samples beyond full scale get the extreme code.
std::vector<uint8_t> encode_sound(const std::vector<float>& sound, SampleCode code, Encoder encoder);

// The bytes of every file, in address order: the first byte, the codes
// from byte 1, then the padding to the end of the region and of the chip
// (none with pad false).
std::vector<std::vector<uint8_t>> build_image(const std::vector<uint8_t>& codes,
                                              const VoiceSettings& settings, bool pad);

// The signal-to-noise ratio in dB of the codes on the DAC against `sound`,
// the signal they were made from: the DAC's levels are first scaled by the
// least-squares gain, so that a difference of level is not counted as
// noise. +inf when they match exactly, NaN for a silent or empty sound.
double dac_snr_db(const std::vector<float>& sound, const std::vector<uint8_t>& codes, SampleCode code);

// ---- All of it ----

enum class PrepareOutcome {
  finished,   // the image is complete
  bad_input,  // the input is not usable audio, or does not fit with --no-cut
  failed,     // something else went wrong (the resampler)
};

// How far prepare_voice got: what the report can tell.
enum class PrepareStage { none, started, checked, read, fitted, done };

struct PreparedVoice {
  PrepareOutcome outcome = PrepareOutcome::failed;
  PrepareStage stage = PrepareStage::none;
  std::string error;  // one line when not finished
  VoiceSettings settings;
  AudioFormat format;  // the input's
  std::vector<std::vector<uint8_t>> files;  // the image, one entry per chip file
  std::vector<float> preview;  // what the card plays, at the card's rate

  int64_t trimmed = 0;  // input frames of leading silence dropped
  size_t room = 0;      // sound samples the region holds (it less its first byte)
  size_t kept = 0;      // sound samples in the image (from byte 1)
  int64_t cut = 0;      // samples cut at the end; -1: cut, by an unknown amount
  size_t faded = 0;     // samples under the fade-out
  double peak = 0;
  double gain = 1;
  int64_t clipped = 0;
  int64_t nonfinite = 0;  // NaN or infinite input samples, taken as 0
  double snr_db = 0;
};

// Prepares `input` (opened, nothing read yet) with `options` and the
// settings resolve_options made of them.
PreparedVoice prepare_voice(AudioFile& input, const PrepareOptions& options, const VoiceSettings& settings);

// What prepare_voice found and did, one fact a line, as far as it got.
std::vector<std::string> prepare_report(const PreparedVoice& voice, const PrepareOptions& options);
