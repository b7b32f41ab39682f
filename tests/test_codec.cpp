// The sample codecs, checked exhaustively: every code decoded, every 16-bit
// sample encoded, each against a second formulation written here.
//
// The references do not follow the encoder's steps. u255-law magnitudes are
// found by counting thresholds: magnitude m is reached once 23.08 * ln(1 +
// 255|x|/max) >= m, that is once |x| >= max * (e^(m/23.08) - 1) / 255, so the
// code is the number of thresholds at or below |x|. The thresholds and the
// decoded values are computed in long double from the plain definitions.
// Both would be ambiguous only where the exact result lies within rounding
// error (about 1e-13 here) of a truncation boundary. x = 0 sits exactly on the
// first one, but there every step is exact (1 + 0 = 1, ln 1 = 0) in either
// precision. For every other input of these tables the exact value keeps at
// least 4e-7 from a boundary, and the references check a margin of 1e-9
// themselves, so a new scale or peak that came too close would be flagged
// instead of silently deciding the comparison.
//
// The linear offset code has an exact integer reference: 128 * x / max with
// integer division truncates toward zero just as the double expression does,
// because when 128x/max is a whole number k, x/max = k/128 is a double
// exactly, and otherwise it stays at least 1/max from every whole number, far
// more than the double's rounding error.
#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>

#include <algorithm>
#include <string>
#include <vector>

#include "convert/codec.h"

namespace {

const int32_t kPeaks[] = {32768, 1, 8192, 23102, 30000, 32767};

// Decoded sample of `code` at `scale`; sets `ambiguous` when the exact value
// lies too close to a whole number to trust the truncation.
int32_t ReferenceDecode(int code, int32_t scale, bool* ambiguous) {
  long double magnitude = expl((code & 0x7F) / 23.08L) * scale / 255.0L;
  long double away = fabsl(magnitude - roundl(magnitude));
  *ambiguous = away < 1e-9L;
  int32_t whole = (int32_t)truncl(magnitude);
  return (code & 0x80) ? whole : -whole;
}

// The |x| at which each magnitude 1..127 is first reached, for one `max`.
std::vector<long double> Thresholds(int32_t max) {
  std::vector<long double> t;
  for (int m = 1; m <= 127; m++) t.push_back(max * (expl(m / 23.08L) - 1.0L) / 255.0L);
  return t;
}

int ReferenceU255(int64_t x, const std::vector<long double>& t, bool* ambiguous) {
  long double a = (long double)(x < 0 ? -x : x);
  int magnitude = (int)(std::upper_bound(t.begin(), t.end(), a) - t.begin());
  *ambiguous = false;
  for (int i : {magnitude - 1, magnitude})
    if (i >= 0 && i < (int)t.size() && fabsl(a - t[i]) <= 1e-9L * t[i]) *ambiguous = true;
  return magnitude | (x >= 0 ? 0x80 : 0);
}

int ReferenceLinear(int64_t x, int64_t max) {
  int64_t y = 128 * x / max + 128;
  return (int)std::min<int64_t>(255, std::max<int64_t>(0, y));
}

// Inputs for one peak: every 16-bit sample and some far beyond +-max.
std::vector<int64_t> Inputs(int32_t max) {
  std::vector<int64_t> xs;
  for (int64_t x = -32768; x <= 32767; x++) xs.push_back(x);
  for (int64_t x : {(int64_t)max, (int64_t)max + 1, 2 * (int64_t)max, (int64_t)65536,
                    (int64_t)1000000, (int64_t)INT32_MAX}) {
    xs.push_back(x);
    xs.push_back(-x);
  }
  xs.push_back(INT32_MIN);
  return xs;
}

// Collects mismatches so an exhaustive loop reports a few, not thousands.
struct Mismatches {
  int count = 0;
  std::string first;
  void Add(const std::string& what) {
    if (count++ < 5) first += what + "\n";
  }
};

std::string Hex(int v) {
  char buf[16];
  snprintf(buf, sizeof buf, "0x%02X", v);
  return buf;
}

TEST(U255Decode, EveryCodeAtBothScalesMatchesTheDefinition) {
  for (int32_t scale : {32767, 127}) {
    Mismatches bad;
    for (int code = 0; code < 256; code++) {
      bool ambiguous;
      int32_t want = ReferenceDecode(code, scale, &ambiguous);
      ASSERT_FALSE(ambiguous) << "reference too close to a boundary at " << Hex(code);
      int32_t got = u255lawToLinear(code, scale);
      if (got != want)
        bad.Add(Hex(code) + ": " + std::to_string(got) + ", want " + std::to_string(want));
    }
    EXPECT_EQ(bad.count, 0) << "scale " << scale << "\n" << bad.first;
  }
}

TEST(U255Decode, TableAndEdges) {
  struct Row {
    int code;
    int32_t at32767, at127;
  };
  const Row rows[] = {{0x00, -128, 0},     {0x01, -134, 0}, {0x40, -2056, -7},
                      {0x7F, -31524, -122}, {0x80, 128, 0},  {0x81, 134, 0},
                      {0xC0, 2056, 7},      {0xFF, 31524, 122}};
  for (const Row& r : rows) {
    EXPECT_EQ(u255lawToLinear(r.code, 32767), r.at32767) << Hex(r.code);
    EXPECT_EQ(u255lawToLinear(r.code, 127), r.at127) << Hex(r.code);
  }
  // At 16 bits no code is silent; at 8 bits magnitudes 0..16 all are.
  for (int code = 0; code < 256; code++) {
    EXPECT_NE(u255lawToLinear(code, 32767), 0) << Hex(code);
    if ((code & 0x7F) <= 16) {
      EXPECT_EQ(u255lawToLinear(code, 127), 0) << Hex(code);
    }
  }
  EXPECT_EQ(u255lawToLinear(0x11, 127), -1);
  EXPECT_EQ(u255lawToLinear(0x91, 127), 1);
}

TEST(U255Decode, BitsAboveTheCodeAreIgnored) {
  for (int code = 0; code < 256; code++)
    for (int high : {0x100, 0x7F00, 0x12345600, (int)0xFFFFFF00, INT32_MIN})
      for (int32_t scale : {32767, 127})
        ASSERT_EQ(u255lawToLinear(code | high, scale), u255lawToLinear(code, scale))
            << Hex(code) << " with high bits " << high;
}

TEST(U255Encode, EverySampleAtFullScaleAndMeasuredPeaks) {
  for (int32_t max : kPeaks) {
    std::vector<long double> t = Thresholds(max);
    Mismatches bad;
    for (int64_t x : Inputs(max)) {
      bool ambiguous;
      int want = ReferenceU255(x, t, &ambiguous);
      ASSERT_FALSE(ambiguous) << "reference too close to a boundary at " << x << "/" << max;
      int got = LinearTo_u255law((int32_t)x, max);
      if (got != want) bad.Add(std::to_string(x) + ": " + Hex(got) + ", want " + Hex(want));
    }
    EXPECT_EQ(bad.count, 0) << "max " << max << "\n" << bad.first;
  }
}

TEST(LinearEncode, EverySampleAtFullScaleAndMeasuredPeaks) {
  for (int32_t max : kPeaks) {
    Mismatches bad;
    for (int64_t x : Inputs(max)) {
      int want = ReferenceLinear(x, max), got = linear((int32_t)x, max);
      if (got != want)
        bad.Add(std::to_string(x) + ": " + std::to_string(got) + ", want " + std::to_string(want));
    }
    EXPECT_EQ(bad.count, 0) << "max " << max << "\n" << bad.first;
  }
}

TEST(EncodeBoth, WorkedExamplesAtFullScale) {
  struct Row {
    int32_t x;
    int u255, lin;
  };
  const Row rows[] = {
      {0, 0x80, 128},     {1, 0x80, 128},     {-1, 0x00, 128},    {5, 0x80, 128},
      {6, 0x81, 128},     {-6, 0x01, 128},    {256, 0x99, 129},   {-256, 0x19, 127},
      {1000, 0xB2, 131},  {-1000, 0x32, 125}, {16384, 0xF0, 192}, {-16384, 0x70, 64},
      {31396, 0xFE, 250}, {31397, 0xFF, 250}, {32767, 0xFF, 255}, {32768, 0xFF, 255},
      {-32767, 0x7F, 1},  {-32768, 0x7F, 0},  {65536, 0xFF, 255}, {-65536, 0x7F, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(LinearTo_u255law(r.x, 32768), r.u255) << r.x;
    EXPECT_EQ(linear(r.x, 32768), r.lin) << r.x;
  }
  // Truncation makes the linear step at zero twice as wide as the others.
  for (int32_t x = -255; x <= 255; x++) ASSERT_EQ(linear(x, 32768), 128) << x;
}

TEST(U255Encode, WhereMagnitudesAreFirstReached) {
  struct Row {
    int32_t x;
    int magnitude;
  };
  const Row rows[] = {{6, 1}, {12, 2}, {1929, 64}, {30060, 126}, {31397, 127}};
  for (const Row& r : rows) {
    EXPECT_EQ(LinearTo_u255law(r.x, 32768) & 0x7F, r.magnitude) << r.x;
    EXPECT_EQ(LinearTo_u255law(r.x - 1, 32768) & 0x7F, r.magnitude - 1) << r.x - 1;
    EXPECT_EQ(LinearTo_u255law(-r.x, 32768), r.magnitude) << -r.x;
  }
}

TEST(EncodeBoth, FullScaleLimitsAndSmallPeaks) {
  for (int32_t max : {1, 2, 100, 23102, 32768, 1 << 20}) {
    EXPECT_EQ(LinearTo_u255law(max, max), 0xFF) << max;
    EXPECT_EQ(linear(max, max), 255) << max;
    EXPECT_EQ(LinearTo_u255law(-max, max), 0x7F) << max;
    EXPECT_EQ(linear(-max, max), 0) << max;
    EXPECT_EQ(LinearTo_u255law(2 * max, max), 0xFF) << max;
    EXPECT_EQ(linear(2 * max, max), 255) << max;
    EXPECT_EQ(LinearTo_u255law(-2 * max, max), 0x7F) << max;
    EXPECT_EQ(linear(-2 * max, max), 0) << max;
  }
  // Zero is silence whatever the peak.
  for (int32_t max = 1; max <= 70000; max++) {
    ASSERT_EQ(LinearTo_u255law(0, max), 0x80) << max;
    ASSERT_EQ(linear(0, max), 128) << max;
  }
  EXPECT_EQ(LinearTo_u255law(0, INT32_MAX), 0x80);
  EXPECT_EQ(linear(0, INT32_MAX), 128);
}

// A measured peak of 0 comes only from an all-silent chunk; the encoders treat
// it as a vanishing scale instead of dividing by it.
TEST(EncodeBoth, PeakOfZero) {
  struct Row {
    int32_t x;
    int u255, lin;
  };
  const Row rows[] = {{0, 0x80, 128},     {1, 0xFF, 255},    {-1, 0x7F, 0},
                      {32767, 0xFF, 255}, {-32768, 0x7F, 0}, {INT32_MIN, 0x7F, 0}};
  for (const Row& r : rows) {
    EXPECT_EQ(LinearTo_u255law(r.x, 0), r.u255) << r.x;
    EXPECT_EQ(linear(r.x, 0), r.lin) << r.x;
  }
}

TEST(U255Decode, IsNotTheInverseOfEncoding) {
  EXPECT_EQ(u255lawToLinear(LinearTo_u255law(0, 32768), 32767), 128);
  EXPECT_EQ(u255lawToLinear(LinearTo_u255law(-1, 32768), 32767), -128);
}

TEST(SignExtend, EveryWord) {
  for (uint32_t n = 0; n <= 0xFFFF; n++) {
    int32_t want = n < 0x8000 ? (int32_t)n : (int32_t)n - 65536;
    ASSERT_EQ(sign_extend((uint16_t)n), want) << n;
  }
  EXPECT_EQ(sign_extend(0x7FFF), 32767);
  EXPECT_EQ(sign_extend(0x8000), -32768);
  EXPECT_EQ(sign_extend(0xFFFF), -1);
  EXPECT_EQ(sign_extend(0x0000), 0);
}

}  // namespace
