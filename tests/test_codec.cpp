// The sample codes, exhaustively: the plain functions and the fast tables
// against references that do not follow the encoder's steps. A u255-law
// magnitude m begins at |x| = max * (e^(m/23.08) - 1) / 255, so the code
// counts the thresholds at or below |x|; long double references within 1e-9
// of a boundary are flagged rather than trusted. The linear offset code's
// reference is 128 * x / max in integers, which truncates as the double does.
#include <gtest/gtest.h>
#include <math.h>
#include <stdint.h>

#include <algorithm>
#include <vector>

#include "convert/codec.h"

namespace {

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

// Then the tables, filled by bisection, against the plain functions at
// scales of every size (a prime step repeats no power of two).
TEST(Encode, EverySampleAtFullScaleAndMeasuredPeaks) {
  static uint8_t u255_table[ENCODE_TABLE_SIZE], linear_table[ENCODE_TABLE_SIZE];
  for (int32_t max : {32768, 1, 8192, 23102, 30000, 32767}) {
    std::vector<long double> t;  // t[m - 1]: the |x| where magnitude m begins
    for (int m = 1; m <= 127; m++) t.push_back(max * (expl(m / 23.08L) - 1.0L) / 255.0L);
    BuildEncodeTable(u255_table, max, 1);
    BuildEncodeTable(linear_table, max, 0);
    // Every sample a conversion meets (-32768 inverted is 32768), and some far beyond.
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
        ASSERT_TRUE(i < 0 || i >= 127 || fabsl(a - t[i]) > 1e-9L * t[i]) << "too close at " << x;
      int want_u255 = m | (x >= 0 ? 0x80 : 0);
      int want_linear = (int)std::clamp<int64_t>(128 * x / max + 128, 0, 255);
      ASSERT_EQ(LinearTo_u255law((int32_t)x, max), want_u255) << x << " at " << max;
      ASSERT_EQ(linear((int32_t)x, max), want_linear) << x << " at " << max;
      if (x < -32768 || x > 32768) continue;
      ASSERT_EQ(u255_table[x + ENCODE_TABLE_BIAS], want_u255) << "table, " << x << " at " << max;
      ASSERT_EQ(linear_table[x + ENCODE_TABLE_BIAS], want_linear) << "table, " << x << " at " << max;
    }
  }
  for (int32_t max = 7; max <= 32768; max += 509) {
    BuildEncodeTable(u255_table, max, 1);
    BuildEncodeTable(linear_table, max, 0);
    for (int32_t x = -32768; x <= 32768; x++) {
      ASSERT_EQ(u255_table[x + ENCODE_TABLE_BIAS], LinearTo_u255law(x, max)) << x << " at " << max;
      ASSERT_EQ(linear_table[x + ENCODE_TABLE_BIAS], linear(x, max)) << x << " at " << max;
    }
  }
}

}  // namespace
