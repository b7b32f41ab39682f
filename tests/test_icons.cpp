// The program icons are drawn by resources/make_icons.py at build time. The
// window class needs icon 1 as a 32 x 32 picture with 256 colours and icon 2
// as a 64 x 64 picture with 16 colours, each with its transparency mask.
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

uint32_t U16(const std::vector<uint8_t>& d, size_t at) { return d[at] | d[at + 1] << 8; }
uint32_t U32(const std::vector<uint8_t>& d, size_t at) {
  return U16(d, at) | U16(d, at + 2) << 16;
}

const char* const kIconFiles[] = {"quorix32.ico", "quorix64.ico"};

// Draws both icons into a new folder; empty when the script failed.
std::string DrawIcons() {
  char tmpl[] = "/tmp/quorix-iconsXXXXXX";
  if (!mkdtemp(tmpl)) return "";
  std::string command =
      "python3 '" QUORIX_SOURCE_DIR "/resources/make_icons.py' " + std::string(tmpl);
  if (system(command.c_str()) != 0) return "";
  return tmpl;
}

void RemoveIcons(const std::string& dir) {
  for (const char* file : kIconFiles) remove((dir + "/" + file).c_str());
  remove(dir.c_str());
}

void CheckIcon(const std::vector<uint8_t>& d, uint32_t n, uint32_t bits) {
  ASSERT_GE(d.size(), 22u + 40u);
  // The icon directory: one image.
  EXPECT_EQ(U16(d, 0), 0u);
  EXPECT_EQ(U16(d, 2), 1u);
  ASSERT_EQ(U16(d, 4), 1u);
  EXPECT_EQ(d[6], n);
  EXPECT_EQ(d[7], n);
  EXPECT_EQ(d[8], bits == 4 ? 16u : 0u);  // 0 stands for 256 colours
  EXPECT_EQ(U16(d, 10), 1u);
  EXPECT_EQ(U16(d, 12), bits);
  uint32_t bytes = U32(d, 14), offset = U32(d, 18);
  EXPECT_EQ(offset, 22u);
  ASSERT_EQ(d.size(), (size_t)offset + bytes);

  // The bitmap: twice as high as wide (colours, then the mask), a full
  // palette, colour rows and 1-bit mask rows padded to four bytes.
  const size_t h = offset;
  EXPECT_EQ(U32(d, h), 40u);
  EXPECT_EQ(U32(d, h + 4), n);
  EXPECT_EQ(U32(d, h + 8), 2 * n);
  EXPECT_EQ(U16(d, h + 12), 1u);
  EXPECT_EQ(U16(d, h + 14), bits);
  EXPECT_EQ(U32(d, h + 16), 0u);  // uncompressed
  const size_t colours = (size_t)1 << bits;
  const size_t xor_row = ((n * bits + 31) / 32) * 4;
  const size_t and_row = ((n + 31) / 32) * 4;
  ASSERT_EQ(bytes, 40 + 4 * colours + (xor_row + and_row) * n);

  const size_t xor_at = h + 40 + 4 * colours;
  const size_t and_at = xor_at + xor_row * n;
  auto index = [&](uint32_t x, uint32_t y_from_bottom) -> uint32_t {
    uint8_t b = d[xor_at + y_from_bottom * xor_row + x * bits / 8];
    return bits == 8 ? b : (x % 2 ? b & 15 : b >> 4);
  };
  auto clear = [&](uint32_t x, uint32_t y_from_bottom) {
    return (d[and_at + y_from_bottom * and_row + x / 8] >> (7 - x % 8)) & 1;
  };

  // The chip stands in the middle; its corners and the space between the
  // pins let the background show through, and clear pixels hold colour 0.
  EXPECT_TRUE(clear(0, 0));
  EXPECT_TRUE(clear(n - 1, n - 1));
  EXPECT_FALSE(clear(n / 2, n / 2));
  size_t clear_count = 0;
  std::set<uint32_t> used;
  for (uint32_t y = 0; y < n; y++)
    for (uint32_t x = 0; x < n; x++) {
      if (clear(x, y)) {
        clear_count++;
        EXPECT_EQ(index(x, y), 0u);
      } else {
        used.insert(index(x, y));
      }
    }
  EXPECT_GT(clear_count, n * n / 5);
  EXPECT_LT(clear_count, n * n * 3 / 5);
  EXPECT_GE(used.size(), 5u) << "body, rim, pins, window and waveform";
}

// Both icons are drawn twice: the drawing must give the same bytes every
// time, and each must be one image of its size and depth with a mask.
TEST(Icons, AreDrawnTheSameEveryTimeInTheirSizesAndDepths) {
  std::string dir = DrawIcons(), again = DrawIcons();
  ASSERT_FALSE(dir.empty()) << "make_icons.py did not run";
  ASSERT_FALSE(again.empty());
  const struct {
    const char* file;
    uint32_t size, bits;
  } formats[] = {{kIconFiles[0], 32, 8}, {kIconFiles[1], 64, 4}};
  std::vector<std::vector<uint8_t>> icons;
  for (const auto& format : formats) {
    icons.push_back(ReadFile(dir + "/" + format.file));
    EXPECT_EQ(icons.back(), ReadFile(again + "/" + format.file)) << format.file;
  }
  RemoveIcons(dir);
  RemoveIcons(again);
  for (size_t i = 0; i < 2; i++) {
    SCOPED_TRACE(formats[i].file);
    CheckIcon(icons[i], formats[i].size, formats[i].bits);
  }
}

}  // namespace
