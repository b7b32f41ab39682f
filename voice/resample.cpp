#include "voice/resample.h"

#include <math.h>
#include <soxr.h>

bool resample_all(const float* in, size_t n, double in_rate, double out_rate,
                  std::vector<float>* out, std::string* error) {
  if (in_rate == out_rate) {
    out->assign(in, in + n);
    return true;
  }
  out->assign((size_t)llround((double)n * out_rate / in_rate), 0.0f);
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
  soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
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
