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

struct soxr;  // libsoxr's resampler

// The same conversion a piece at a time, for an input read only as far as
// the output needs: the output of all pieces and the flush together is what
// resample_all gives for the whole input (round(n * out_rate / in_rate)
// samples, time-aligned).
class StreamResampler {
 public:
  StreamResampler() = default;
  StreamResampler(const StreamResampler&) = delete;
  StreamResampler& operator=(const StreamResampler&) = delete;
  ~StreamResampler();

  // False with a reason when libsoxr refuses the rates.
  bool open(double in_rate, double out_rate, std::string* error);
  // Takes `n` more input samples and appends what comes out to `out`.
  bool push(const float* in, size_t n, std::vector<float>* out, std::string* error);
  // The end of the input: appends the filter's tail to `out`.
  bool flush(std::vector<float>* out, std::string* error);

 private:
  bool run(const float* in, size_t n, std::vector<float>* out, std::string* error);
  soxr* soxr_ = nullptr;  // null when the rates are equal: samples pass unchanged
};
