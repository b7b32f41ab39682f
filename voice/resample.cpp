#include "voice/resample.h"

#include <math.h>
#include <soxr.h>

static soxr_io_spec_t float_io() { return soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I); }
static soxr_quality_spec_t very_high() { return soxr_quality_spec(SOXR_VHQ, 0); }

bool resample_all(const float* in, size_t n, double in_rate, double out_rate,
                  std::vector<float>* out, std::string* error) {
  if (in_rate == out_rate) {
    out->assign(in, in + n);
    return true;
  }
  out->assign((size_t)llround((double)n * out_rate / in_rate), 0.0f);
  soxr_io_spec_t io = float_io();
  soxr_quality_spec_t quality = very_high();
  size_t done = 0;
  soxr_error_t e = soxr_oneshot(in_rate, out_rate, 1, in, n, nullptr, out->data(), out->size(), &done,
                                &io, &quality, nullptr);
  if (e) {
    *error = e;
    return false;
  }
  out->resize(done);
  return true;
}

StreamResampler::~StreamResampler() {
  if (soxr_) soxr_delete(soxr_);
}

bool StreamResampler::open(double in_rate, double out_rate, std::string* error) {
  if (in_rate == out_rate) return true;
  soxr_io_spec_t io = float_io();
  soxr_quality_spec_t quality = very_high();
  soxr_error_t e = nullptr;
  soxr_ = soxr_create(in_rate, out_rate, 1, &e, &io, &quality, nullptr);
  if (!soxr_ || e) {
    *error = e ? e : "the resampler could not be set up";
    return false;
  }
  return true;
}

// libsoxr stops taking input when the output block is full: go round until
// all of it is taken (or, for the flush, until nothing more comes).
bool StreamResampler::run(const float* in, size_t n, std::vector<float>* out, std::string* error) {
  float block[4096];
  for (;;) {
    size_t taken = 0, made = 0;
    soxr_error_t e = soxr_process(soxr_, in, n, in ? &taken : nullptr, block, 4096, &made);
    if (e) {
      *error = e;
      return false;
    }
    out->insert(out->end(), block, block + made);
    if (in) {
      in += taken;
      n -= taken;
      if (n == 0 && made < 4096) return true;
    } else if (made == 0) {
      return true;
    }
  }
}

bool StreamResampler::push(const float* in, size_t n, std::vector<float>* out, std::string* error) {
  if (!soxr_) {
    out->insert(out->end(), in, in + n);
    return true;
  }
  if (n == 0) return true;
  return run(in, n, out, error);
}

bool StreamResampler::flush(std::vector<float>* out, std::string* error) {
  return soxr_ ? run(nullptr, 0, out, error) : true;
}
