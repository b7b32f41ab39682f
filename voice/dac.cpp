#include "voice/dac.h"

#include <math.h>

#include <algorithm>

#include "convert/codec.h"

static const int chord_base[8] = {0, 33, 99, 231, 495, 1023, 2079, 4191};

static int magnitude_level(int m) {  // m = chord * 16 + step
  int chord = m >> 4, step = m & 15;
  return chord_base[chord] + step * (2 << chord);
}

int dac76_level(uint8_t code) {
  int level = magnitude_level(code & 0x7F);
  return (code & 0x80) ? level : -level;
}

uint8_t dac76_nearest(double level) {
  double a = fabs(level);
  if (!(a > 0)) return 0x80;  // zero, and NaN, are silence
  // The magnitudes rise with m; find the first level at or above a.
  int lo = 0, hi = 127;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (magnitude_level(mid) < a)
      lo = mid + 1;
    else
      hi = mid;
  }
  int m = lo;
  if (m > 0 && a - magnitude_level(m - 1) <= magnitude_level(m) - a) m--;
  if (m == 0) return 0x80;
  return (uint8_t)(level > 0 ? 0x80 | m : m);
}

double code_output(uint8_t code, SampleCode kind) {
  switch (kind) {
    case SampleCode::u255: return dac76_level(code) / (double)dac76_full_scale;
    case SampleCode::linear: return (code - 128) / 128.0;
    case SampleCode::linear_inverted: return (128 - code) / 128.0;
    case SampleCode::signed_linear: return (int8_t)code / 128.0;
    case SampleCode::linear_top6: return ((code >> 2) - 32) / 32.0;
  }
  return 0;
}

double code_full_scale(SampleCode kind) {
  switch (kind) {
    case SampleCode::u255: return 1.0;
    case SampleCode::linear_top6: return 31 / 32.0;
    default: return 127 / 128.0;
  }
}

// Nearest integer, halves toward zero.
static double round_half_down(double v) { return v >= 0 ? ceil(v - 0.5) : floor(v + 0.5); }

uint8_t encode_level(double x, SampleCode kind, Encoder encoder) {
  if (!isfinite(x)) x = 0;
  if (kind == SampleCode::u255) {
    if (encoder == Encoder::dac) return dac76_nearest(x * dac76_full_scale);
    double s = trunc(x * 32768);
    if (s > 32768) s = 32768;
    if (s < -32768) s = -32768;
    return (uint8_t)LinearTo_u255law((int32_t)s, 32768);
  }
  if (kind == SampleCode::linear_top6) {
    double step = std::min(std::max(round_half_down(x * 32), -32.0), 31.0);
    return (uint8_t)((int)(step + 32) << 2);
  }
  double step = round_half_down(x * 128);
  if (kind == SampleCode::signed_linear) return (uint8_t)(int8_t)std::min(std::max(step, -128.0), 127.0);
  if (kind == SampleCode::linear_inverted) step = -step;
  double code = 128 + step;
  if (code < 0) code = 0;
  if (code > 255) code = 255;
  return (uint8_t)code;
}
