// Changing a voice's sample rate to the card's clock, through libsoxr at its
// very-high quality. The output is time-aligned with the input: libsoxr
// takes its filter's delay back out, so a hit at the input's first sample
// stays at the output's first sample.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// All of `in` (n samples at in_rate Hz) at out_rate Hz, round(n * out_rate /
// in_rate) samples, the filter's tail included. Equal rates copy the samples
// unchanged. False with a reason when libsoxr refuses.
bool resample_all(const float* in, size_t n, double in_rate, double out_rate,
                  std::vector<float>* out, std::string* error);
