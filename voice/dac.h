// What the card's DAC makes of a code, and the code to choose for a level.
//
// The DMX and the LinnDrum feed their EPROM's data lines straight into an
// AM6070, a DAC-76 compatible companding DAC: bit 7 the sign (1 = positive),
// bits 6-4 the chord, bits 3-0 the step, and
//   |out| = base[chord] + step * 2^(chord + 1),
//   base  = 0, 33, 99, 231, 495, 1023, 2079, 4191,
// so 0xFF gives +8031, 0x7F gives -8031, and 0x00 and 0x80 both give 0.
// These levels are not the continuous u255 curve of the WAV-to-image
// conversion; choosing the code whose real level is nearest is what makes a
// voice sound clean on the machine.
//
// The linear DACs are simpler but not all alike. The TR-707's voices go
// into a DAC08-type DAC whose output falls as the code rises (level =
// 128 - code); its cymbal ROMs reach a 6-bit DAC through data bits 7-2 only
// (level = (code >> 2) - 32, bits 1-0 ignored, written as 0); the RZ-1
// stores two's complement bytes (level = (int8_t)code).
//
// Levels here are fractions of the DAC's full scale: 1.0 is +8031 for the
// AM6070, 128 steps above the offset for an 8-bit linear DAC and 32 steps
// for the 6-bit one.
#pragma once

#include <stdint.h>

#include "voice/machine.h"

enum { dac76_full_scale = 8031 };

// The AM6070's output for `code`, in DAC steps (-8031..8031).
int dac76_level(uint8_t code);

// The code whose AM6070 level is nearest to `level` (in DAC steps); of two
// equally near levels the smaller magnitude wins, and a level of 0 is 0x80.
uint8_t dac76_nearest(double level);

// The DAC's output for `code` under `kind`, as a fraction of full scale.
double code_output(uint8_t code, SampleCode kind);

// The largest level reachable with either sign: what a normalized voice's
// peak is set to. 1.0 for u255; 127/128 for 8-bit linear codes, whose
// one side ends one step short of the other; 31/32 for the 6-bit one.
double code_full_scale(SampleCode kind);

enum class Encoder {
  dac,    // the code whose real DAC level is nearest (u255)
  curve,  // the continuous u255 curve of the WAV-to-image conversion
};

// The code for the level x (fraction of full scale). Linear codes round to
// the nearest step the DAC has (ties to the smaller magnitude) and clamp at
// its ends.
// Encoder::curve takes x as the 16-bit sample trunc(x * 32768) at a full
// scale of 32768, through the very function the conversion uses, so a
// 16-bit input gets the code the WAV-to-image conversion would give it.
uint8_t encode_level(double x, SampleCode kind, Encoder encoder);
