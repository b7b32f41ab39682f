// What a sound file holds, and how much of it each machine's region takes:
// the facts an owner checks before preparing a voice from it.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "voice/audio.h"
#include "voice/machine.h"

// The waveform in at most `bins` pairs of (lowest, highest) sample, each
// pair covering `per_bin` frames of the one-channel mix, from frame 0 on:
// enough to draw it at any width up to `bins` columns.
struct Envelope {
  std::vector<float> low, high;
  int64_t per_bin = 1;
};

struct RegionFit {
  const Machine* machine;
  double rate;           // Hz
  uint32_t sound_bytes;  // the region less its first byte
  double fit_seconds;    // sound_bytes at rate
  double kept_fraction;  // of the file's duration that fits, 0..1 (1 for an empty file)
};

struct SoundFacts {
  AudioFormat format;
  int64_t frames = 0;  // read through, not only announced
  double seconds = 0;
  double peak = 0;              // largest |sample| of any channel, fraction of full scale
  double dc_offset = 0;         // the channel mean farthest from 0, fraction of full scale
  int64_t nonfinite = 0;        // NaN or infinite samples, counted as 0
  std::string read_error;       // the file ended early with this reason; the facts cover what was read
  std::vector<RegionFit> fits;  // every preset, in the table's order
  Envelope envelope;
};

struct SoundOptions {
  const Machine* machine = default_machine();  // whose fit may take another rate
  double rate = 0;                           // Hz for that machine; 0 takes its own
  size_t envelope_bins = 2048;
};

// Reads `file` to its end, in blocks; memory stays bounded however long it is.
SoundFacts analyse_sound(AudioFile& file, const SoundOptions& options);

// The fit of `machine` among facts.fits.
const RegionFit* fit_of(const SoundFacts& facts, const Machine* machine);
