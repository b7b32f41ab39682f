// The two 8-bit sample codes a drum-voice EPROM holds, and the conversions of
// single samples between linear values and those codes.
//
// u255-law (Oberheim DMX): bit 7 is the sign (1 = positive or zero), bits 0-6
// a magnitude on a continuous logarithmic scale, m = 23.08 * ln(1 + 255|x|/max).
// This is not the segmented G.711 table: 0x80 is zero, 0xFF positive full
// scale, 0x7F negative full scale.
// Linear offset (linear-sample machines): 128 + 128 * x / max, 128 is zero.
//
// The arithmetic is done in double precision and every conversion to an
// integer truncates toward zero, as the machines' own sample tools did; a
// rounding step anywhere would change bytes in the EPROM.
#pragma once

#include <stdint.h>

// Expands the u255-law code in the low 8 bits of x to a linear sample at the
// full scale `scale`. Magnitude 0 decodes to +-scale/255, not to 0.
int32_t u255lawToLinear(int x, int32_t scale);

// Encodes the linear sample x, with `max` mapping to full scale, to a
// u255-law code 0..255. `max` must not be 0.
int LinearTo_u255law(int32_t x, int32_t max);

// Encodes the linear sample x, with `max` mapping to full scale, to a linear
// offset code 0..255. `max` must not be 0.
int linear(int32_t x, int32_t max);

// A 16-bit word from a WAV file read as a two's-complement number.
int32_t sign_extend(uint16_t n);

// Whole-file conversions run millions of samples through these codes, far
// too many for a log() or exp() each. The tables below hold, for one scale,
// exactly what the functions above return; the functions stay the
// definition, the tables are only a faster way to the same bytes.

// Linear samples a conversion can encode: -32768..32768 (a 16-bit sample, or
// its inversion), at index x + ENCODE_TABLE_BIAS.
enum { ENCODE_TABLE_BIAS = 32768, ENCODE_TABLE_SIZE = 65537 };

// Fills code_of[x + ENCODE_TABLE_BIAS] with LinearTo_u255law(x, max) when
// `u255` is nonzero, else with linear(x, max), for every x of -32768..32768.
// Costs a few thousand calls of the encoder, not one per entry.
void BuildEncodeTable(uint8_t* code_of, int32_t max, int u255);

// Fills value_of[c] with u255lawToLinear(c, scale) for every code 0..255.
void BuildDecodeTable(int32_t* value_of, int32_t scale);
