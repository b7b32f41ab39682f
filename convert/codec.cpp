#include "convert/codec.h"

#include <math.h>

// The nearest doubles to 1/23.08 and 1/255: the decoder multiplies by these
// instead of dividing, and the last bit of every decoded sample depends on it.
static const double RECIP_23_08 = 0.043327556325823226;
static const double RECIP_255 = 0.00392156862745098;

int32_t u255lawToLinear(int x, int32_t scale) {
  double s = (x & 0x80) ? 1.0 : -1.0;
  int m = x & 0x7F;
  double v = exp(m * RECIP_23_08) * ((double)scale * s) * RECIP_255;
  return (int32_t)v;
}

// A max of 0 would make 0/0; both encoders answer it as the limit of a
// vanishing scale: silence for 0, full scale of the sample's sign otherwise.
int LinearTo_u255law(int32_t x, int32_t max) {
  if (max == 0) return x > 0 ? 0xFF : x < 0 ? 0x7F : 0x80;
  double X = (double)x / (double)max;
  int sign;
  double A;
  if (X >= 0.0) {
    sign = 0x80;
    A = X * 255.0 + 1.0;
  } else {
    sign = 0;
    A = X * (-255.0) + 1.0;
  }
  double Y = log(A) * 23.08;
  // Only |x| beyond max by 0.075% or more can reach 128; huge ratios are
  // limited before the conversion so it can never overflow an int.
  int y = Y > 127.0 ? 127 : (int)Y;
  return y | sign;
}

int linear(int32_t x, int32_t max) {
  if (max == 0) return x > 0 ? 255 : x < 0 ? 0 : 128;
  double X = (double)x / (double)max;
  double scaled = 128.0 * X;
  // Limit before converting: x/max can be far outside [-1, 1].
  if (scaled >= 128.0) return 255;
  if (scaled <= -129.0) return 0;
  int y = (int)scaled + 128;
  if (y < 0) y = 0;
  if (y > 255) y = 255;
  return y;
}

int32_t sign_extend(uint16_t n) { return (int32_t)(int16_t)n; }

// Either encoder's code moves one way only as x moves away from zero on
// either side: x/max, the products and the logarithm are rounded to the
// nearest double, and neighbouring integers lie far more than one rounding
// apart, so no step can come out backwards. Each code therefore covers one
// unbroken run of samples on each side, and the end of a run can be found
// by bisection with the encoder itself. Every entry is a value the encoder
// returned for some sample of the same run.
typedef int (*Encoder)(int32_t x, int32_t max);

static void fill_side(uint8_t* code_of, Encoder encode, int32_t max, int32_t side) {
  int32_t a = side > 0 ? 0 : 1;  // zero belongs to the positive side
  while (a <= 32768) {
    int code = encode(side * a, max);
    // The last magnitude b >= a that still gives `code`.
    int32_t lo = a, hi = 32768;
    while (lo < hi) {
      int32_t mid = lo + (hi - lo + 1) / 2;
      if (encode(side * mid, max) == code)
        lo = mid;
      else
        hi = mid - 1;
    }
    for (int32_t b = a; b <= lo; b++) code_of[ENCODE_TABLE_BIAS + side * b] = (uint8_t)code;
    a = lo + 1;
  }
}

void BuildEncodeTable(uint8_t* code_of, int32_t max, int u255) {
  Encoder encode = u255 ? LinearTo_u255law : linear;
  fill_side(code_of, encode, max, 1);
  fill_side(code_of, encode, max, -1);
}

void BuildDecodeTable(int32_t* value_of, int32_t scale) {
  for (int c = 0; c < 256; c++) value_of[c] = u255lawToLinear(c, scale);
}
