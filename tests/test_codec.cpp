// The sample codecs, checked exhaustively: every code decoded, every 16-bit
// sample encoded, by the plain functions and by the tables the fast
// conversions use, all against second formulations written here.
//
// The references do not follow the encoder's steps. A u255-law magnitude m is
// reached once 23.08 * ln(1 + 255|x|/max) >= m, that is once |x| >= max *
// (e^(m/23.08) - 1) / 255, so the code is the number of these thresholds at
// or below |x|. Thresholds and decoded values are computed in long double
// from the plain definitions; they could only mislead where the exact value
// lies within rounding error (about 1e-13) of a truncation boundary, so each
// comparison first checks a margin of 1e-9 and a new scale or peak that came
// too close is flagged instead of deciding the comparison. (x = 0 sits on the
// first boundary, but there every step is exact in either precision.)
//
// The linear offset code has an exact integer reference: 128 * x / max with
// integer division truncates toward zero just as the double expression does,
// because when 128x/max is a whole number k, x/max = k/128 is a double
// exactly, and otherwise it stays at least 1/max from every whole number.
#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>

#include <algorithm>
#include <vector>

#include "convert/codec.h"

namespace {

// Full scale, the smallest peak, and peaks of real recordings.
const int32_t kPeaks[] = {32768, 1, 8192, 23102, 30000, 32767};

TEST(U255Decode, EveryCodeAtBothScales) {
  for (int32_t scale : {32767, 127}) {
    int32_t table[256];
    BuildDecodeTable(table, scale);
    for (int code = 0; code < 256; code++) {
      long double magnitude = expl((code & 0x7F) / 23.08L) * scale / 255.0L;
      ASSERT_GT(fabsl(magnitude - roundl(magnitude)), 1e-9L) << "reference too close at " << code;
      int32_t want = (code & 0x80 ? 1 : -1) * (int32_t)magnitude;
      ASSERT_EQ(u255lawToLinear(code, scale), want) << "code " << code << " scale " << scale;
      ASSERT_EQ(u255lawToLinear(code | 0x7F00, scale), want) << "bits above the code count";
      ASSERT_EQ(table[code], want) << "table, code " << code << " scale " << scale;
    }
  }
}

TEST(Encode, EverySampleAtFullScaleAndMeasuredPeaks) {
  static uint8_t u255_table[ENCODE_TABLE_SIZE], linear_table[ENCODE_TABLE_SIZE];
  for (int32_t max : kPeaks) {
    std::vector<long double> t;  // t[m - 1]: the |x| where magnitude m begins
    for (int m = 1; m <= 127; m++) t.push_back(max * (expl(m / 23.08L) - 1.0L) / 255.0L);
    BuildEncodeTable(u255_table, max, 1);
    BuildEncodeTable(linear_table, max, 0);
    // Every sample a conversion meets (-32768 inverted is 32768), and some
    // far beyond +-max.
    std::vector<int64_t> xs;
    for (int64_t x = -32768; x <= 32768; x++) xs.push_back(x);
    for (int64_t x : {(int64_t)max + 1, 2 * (int64_t)max, (int64_t)65536, (int64_t)INT32_MAX}) {
      xs.push_back(x);
      xs.push_back(-x);
    }
    xs.push_back(INT32_MIN);
    for (int64_t x : xs) {
      long double a = fabsl((long double)x);
      int m = (int)(std::upper_bound(t.begin(), t.end(), a) - t.begin());
      for (int i : {m - 1, m})
        ASSERT_TRUE(i < 0 || i >= 127 || fabsl(a - t[i]) > 1e-9L * t[i]) << "reference too close at " << x;
      int want_u255 = m | (x >= 0 ? 0x80 : 0);
      int want_linear = (int)std::clamp<int64_t>(128 * x / max + 128, 0, 255);
      ASSERT_EQ(LinearTo_u255law((int32_t)x, max), want_u255) << x << " at " << max;
      ASSERT_EQ(linear((int32_t)x, max), want_linear) << x << " at " << max;
      if (x < -32768 || x > 32768) continue;
      ASSERT_EQ(u255_table[x + ENCODE_TABLE_BIAS], want_u255) << "table, " << x << " at " << max;
      ASSERT_EQ(linear_table[x + ENCODE_TABLE_BIAS], want_linear) << "table, " << x << " at " << max;
    }
  }
}

// The tables are filled by bisection over runs of equal codes; a measured
// peak can be any scale, so the runs are checked at scales of every size.
TEST(EncodeTable, HoldsThePlainCodesAcrossTheRangeOfScales) {
  static uint8_t u255_table[ENCODE_TABLE_SIZE], linear_table[ENCODE_TABLE_SIZE];
  for (int32_t max = 7; max <= 32768; max += 509) {  // a prime step: no power of two repeats
    BuildEncodeTable(u255_table, max, 1);
    BuildEncodeTable(linear_table, max, 0);
    for (int32_t x = -32768; x <= 32768; x++) {
      ASSERT_EQ(u255_table[x + ENCODE_TABLE_BIAS], LinearTo_u255law(x, max)) << x << " at " << max;
      ASSERT_EQ(linear_table[x + ENCODE_TABLE_BIAS], linear(x, max)) << x << " at " << max;
    }
  }
}

// Anchors that need no formula to check.
TEST(Codecs, WorkedValues) {
  const struct {
    int32_t x;
    int u255, lin;
  } encoded[] = {{0, 0x80, 128},     {5, 0x80, 128},    {6, 0x81, 128},     {-6, 0x01, 128},
                 {-255, 0x19, 128},  {-256, 0x19, 127},  {16384, 0xF0, 192}, {31396, 0xFE, 250},
                 {31397, 0xFF, 250}, {32767, 0xFF, 255}, {-32767, 0x7F, 1}, {-32768, 0x7F, 0}};
  for (const auto& r : encoded) {
    EXPECT_EQ(LinearTo_u255law(r.x, 32768), r.u255) << r.x;
    EXPECT_EQ(linear(r.x, 32768), r.lin) << r.x;
  }
  const struct {
    int code;
    int32_t at32767, at127;
  } decoded[] = {{0x00, -128, 0}, {0x11, -268, -1},   {0x40, -2056, -7},
                 {0x80, 128, 0},  {0xFF, 31524, 122}, {0x7F, -31524, -122}};
  for (const auto& r : decoded) {
    EXPECT_EQ(u255lawToLinear(r.code, 32767), r.at32767) << r.code;
    EXPECT_EQ(u255lawToLinear(r.code, 127), r.at127) << r.code;
  }
}

// A measured peak of 0 comes only from an all-silent chunk; the encoders treat
// it as a vanishing scale instead of dividing by it.
TEST(Encode, PeakOfZero) {
  const struct {
    int32_t x;
    int u255, lin;
  } rows[] = {{0, 0x80, 128}, {1, 0xFF, 255}, {-1, 0x7F, 0}, {INT32_MIN, 0x7F, 0}};
  for (const auto& r : rows) {
    EXPECT_EQ(LinearTo_u255law(r.x, 0), r.u255) << r.x;
    EXPECT_EQ(linear(r.x, 0), r.lin) << r.x;
  }
}

TEST(SignExtend, EveryWord) {
  for (int32_t n = 0; n <= 0xFFFF; n++)
    ASSERT_EQ(sign_extend((uint16_t)n), n < 0x8000 ? n : n - 65536) << n;
}

}  // namespace
