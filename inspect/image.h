// What an EPROM image holds and what a card will make of it: the chip it
// fills, its checksums and factory name, the sample code its bytes look
// like, and per region of the machine the facts that decide whether it
// plays cleanly (first byte, sound, padding, an erased tail, level, time).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "inspect/checksum.h"
#include "inspect/factory.h"
#include "voice/machine.h"
#include "voice/render.h"

// Images are read whole up to the largest EPROM; a larger file is no image.
enum { largest_eprom = 65536 };

// The code the bytes look like, whatever the machine reads them as.
enum class LikelyCode { u255, linear, erased, silent, not_audio };
const char* likely_code_name(LikelyCode code);  // "u255", "linear", "erased", "silent", "not-audio"

struct CodeGuess {
  LikelyCode code = LikelyCode::not_audio;
  std::string reason;  // one line, for people
  // False when the bytes leave u255 and linear close: the code is then the
  // better of the two, and `doubt` says why it is not sure.
  bool sure = true;
  std::string doubt;
};

// Judges the code from the bytes alone. Sound swings as far down as up
// and crosses zero from quiet samples; decoded with the wrong code, the
// quiet samples of one sign land near full scale of the other, so the
// two signs no longer look alike and every zero crossing becomes a leap.
// Both readings are measured and the one that looks like sound wins; bytes
// spread evenly like noise in both are no sampled sound. Runs of erased
// bytes (0xFF) and of padding (0x80, 0x00) are left out; an image of
// little else is erased or silent.
CodeGuess guess_code(const uint8_t* data, size_t size);


struct RegionFacts {
  RegionSpan span;
  uint8_t first_byte = 0;
  bool first_is_zero = false;  // the DAC outputs 0 for it: no click, no offset while idle
  uint32_t used = 0;           // from the region's start to the last byte the DAC hears as sound
  uint32_t padding = 0;        // bytes of level 0 after the sound
  uint32_t erased_tail = 0;    // 0xFF bytes at the region's end
  double peak = 0;             // largest |output| of bytes 1 .. used-1, fraction of full scale
  double play_seconds = 0;     // one trigger: bytes 1 .. end at the rate
  double sound_seconds = 0;    // bytes 1 .. used-1 at the rate
};

struct ImageOptions {
  // The machine the image is read for; null: a factory voice's own card,
  // else default_machine.
  const Machine* machine = nullptr;
  double rate = 0;                     // Hz; 0 takes the machine's
  SampleCode code = SampleCode::u255;  // how the bytes are decoded (with code_given)
  bool code_given = false;             // else the machine's code
  const FactoryTable* factory = &factory_voices;
};

struct ImageFacts {
  uint64_t size = 0;
  const Eprom* eprom = nullptr;  // the EPROM of exactly this size, or null
  Checksums sums;
  const FactoryImage* factory = nullptr;
  // When the image is several factory chips of one size joined in
  // address order (a cymbal's four 2732s in one 27128), each of them;
  // else empty.
  std::vector<FactoryPiece> factory_pieces;
  CodeGuess guess;
  const Machine* machine = nullptr;
  SampleCode code = SampleCode::u255;
  double rate = 0;
  std::vector<RegionFacts> regions;
  std::vector<std::string> warnings;  // one line each, for people
};

// Everything above for `size` bytes (at most largest_eprom); `size` must
// not be 0.
ImageFacts analyse_image(const uint8_t* data, size_t size, const ImageOptions& options);
