// The desktop front end's logic: the proposed output name, the extension, the rate text.
#include "app/frontend.h"
#include "test_util.h"

namespace {

TEST(ProposeOutputName, CutsAtTheFirstDotOfThePathAndAppends) {
  const std::string k123 = "C:\\" + std::string(120, 'k');
  const struct {
    std::string chosen;
    const char* ext;
    std::string proposed;
  } cases[] = {
      {"C:\\MY.DIR\\KICK.BIN", ".wav", "C:\\MY.wav"},
      {"C:\\DATA\\KICK", ".wav", "C:\\DATA\\KICK.wav"},
      // Too long for the extension: shortened at its end to make room.
      {k123, ".wav", k123 + ".wav"},
      {k123 + "k", ".wav", k123 + ".wav"},
      {k123 + "kkkk", ".bin", k123 + ".bin"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Guarded(c.chosen, [&](char* n) { ProposeOutputName(n, c.ext); }), c.proposed) << c.chosen;
}

TEST(AppendExtension, AddsTheExtensionUnlessTheNameHasItInAnyCase) {
  const std::string n123(123, 'n'), n124(124, 'n');
  const struct {
    std::string typed;
    const char* ext3;
    int done;
    std::string result;
  } cases[] = {
      {"Z:\\OUT", "wav", 1, "Z:\\OUT.wav"},
      {"Z:\\OUT.Wav", "wav", 1, "Z:\\OUT.Wav"},
      {"Z:\\OUT.bin", "wav", 1, "Z:\\OUT.bin.wav"},
      {"Z:\\OUT.wave", "wav", 1, "Z:\\OUT.wave.wav"},
      {"Z:\\OUTwav", "wav", 1, "Z:\\OUTwav.wav"},
      {".wav", "wav", 1, ".wav.wav"},  // a bare extension is no extension
      // No room for the extension: refused and left alone, unless it has it.
      {n123, "wav", 1, n123 + ".wav"},
      {n124, "wav", 0, n124},
      {n123 + ".WAV", "wav", 1, n123 + ".WAV"},
  };
  for (const auto& c : cases) {
    int done = -1;
    EXPECT_EQ(Guarded(c.typed, [&](char* n) { done = AppendExtension(n, c.ext3); }), c.result) << c.typed;
    EXPECT_EQ(done, c.done) << c.typed;
  }
}

// Read back as atof does, refused beyond what a header's rate field holds.
TEST(RateText, ShownAndReadBackWithinTheHeadersRange) {
  char text[16];
  FormatRateText(text, sizeof text, 8000.0);
  EXPECT_STREQ(text, " 8000.00");
  EXPECT_EQ(Guarded("", [](char* t) { FormatRateText(t, NAME_SIZE, 1e300); }).size(), NAME_SIZE - 1u);
  const struct {
    const char* text;
    int accepted;
    double rate;
  } read[] = {{"-5", 1, -5.0}, {"2147483647.99", 1, 2147483647.99}, {"2147483648", 0, 0}, {"-2147483648", 0, 0}};
  for (const auto& c : read) {
    double rate = 12345.0;
    EXPECT_EQ(ReadRateText(c.text, &rate), c.accepted) << c.text;
    EXPECT_DOUBLE_EQ(rate, c.accepted ? c.rate : 12345.0) << c.text;
  }
}

}  // namespace
