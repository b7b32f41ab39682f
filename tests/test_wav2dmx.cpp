// WAV file to EPROM image on hand-built files: the whole report and every
// byte of the image, for the worked conversion, the frame layouts and the
// scale passes. Damaged and unusual files are replayed from tests/corpus.
#include <string.h>

#include <algorithm>

#include "convert/convert.h"
#include "convert/wav.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const char* const kEnd = "Unexpected end of file.";
const char* const kDone = "Finished.";
const char* const kFmt16 = "Processing chunk... fmt , 16 bytes";
const char* const kMono16 = "16 bit data, Channels = 1";
const char* const kLinear = "Output format: Linear offset";

struct Settings {
  int mu_law, invert, autoscale;
};
const Settings kMu = {1, 0, 0}, kMuAuto = {1, 0, 1}, kLin = {0, 0, 0}, kLinAuto = {0, 0, 1},
               kMuInv = {1, 1, 0};

struct ConvertCase {
  const char* what;
  Bytes wav;
  Settings set;
  Lines log;  // after "Input file: %s" and "Output file: %s"
  Bytes image;
};

Bytes Mono16(std::initializer_list<int> samples) { return Riff(Cat({PcmFmt(1, 16), Chunk("data", Words(samples))})); }

// The samples of the worked conversion: 0, 8192, -8192 and 4096.
Bytes Worked(void) { return Mono16({0, 8192, -8192, 4096}); }
const char* const kWorkedData = "Processing chunk... data, 8 bytes";

std::vector<ConvertCase> convert_cases(void) {
  Lines fixed = {kFmt16, kMono16, kWorkedData, "Input file: 4 samples.",
                 "Pass 1: Unused audio headroom = 75%", "Output: 4 samples.",
                 "Peak audio value = 8192"};
  Lines scaled = {kFmt16, kMono16, kWorkedData, "Pass 0: Unused audio headroom = 75%",
                  "Input file: 4 samples.", "Pass 1: Unused audio headroom =  0%",
                  "Output: 4 samples.", "Peak audio value = 8192"};
  auto with = [](Lines l, std::initializer_list<std::string> more) {
    l.insert(l.end(), more.begin(), more.end());
    return l;
  };
  return {
      // The worked conversion, all four settings rows and the inverted one.
      {"u255-law at full scale", Worked(), kMu, with(fixed, {kEnd, kDone}), {0x80, 0xE0, 0x60, 0xD0}},
      {"u255-law scaled", Worked(), kMuAuto, with(scaled, {kEnd, kDone}), {0x80, 0xFF, 0x7F, 0xF0}},
      {"linear at full scale", Worked(), kLin, with(fixed, {kLinear, kEnd, kDone}), {128, 160, 96, 144}},
      {"linear scaled", Worked(), kLinAuto, with(scaled, {kLinear, kEnd, kDone}), {128, 255, 0, 192}},
      {"u255-law inverted", Worked(), kMuInv, with(fixed, {kEnd, kDone}), {0x80, 0x60, 0xE0, 0x50}},
      {"mu_law 2 writes linear codes without saying so", Worked(), {2, 0, 0},
       with(fixed, {kEnd, kDone}), {128, 160, 96, 144}},

      // Frame layouts. The magnitude is measured before inversion; stereo
      // halves the sum, truncating toward zero.
      {"16-bit extremes, linear and inverted", Mono16({32767, -32768}), {0, 1, 0},
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Input file: 2 samples.",
        "Pass 1: Unused audio headroom =  0%", "Output: 2 samples.", "Peak audio value = 32768",
        kLinear, kEnd, kDone},
       {1, 255}},
      {"16-bit stereo mixing", Riff(Cat({PcmFmt(2, 16), Chunk("data", Words({101, 100, -101, -100, 32767, -32768}))})),
       kMu,
       {kFmt16, "16 bit data, Channels = 2", "Processing chunk... data, 12 bytes",
        "Input file: 6 samples.", "Pass 1: Unused audio headroom = 99%", "Output: 3 samples.",
        "Peak audio value = 100", kEnd, kDone},
       {0x8D, 0x0D, 0x80}},
      {"8-bit stereo mixing", Riff(Cat({PcmFmt(2, 8), Chunk("data", {200, 100, 255, 1})})), kMu,
       {kFmt16, "8 bit data, Channels = 2", "Processing chunk... data, 4 bytes",
        "Input file: 4 samples.", "Pass 1: Unused audio headroom = 82%", "Output: 2 samples.",
        "Peak audio value = 5632", kEnd, kDone},
       {0xD7, 0x80}},

      // Later data chunks always get a measuring pass, against the peak the
      // chunk before left behind (a silent chunk leaves full scale); the
      // output count runs over the whole file.
      {"silent chunk, then a loud one",
       Riff(Cat({PcmFmt(1, 16), Chunk("data", Words({0, 0})), Chunk("data", Words({8192, -4096}))})),
       kMu,
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Input file: 2 samples.",
        "Pass 1: Unused audio headroom = 100%", "Output: 2 samples.", "Peak audio value = 0",
        "Processing chunk... data, 4 bytes", "Pass 0: Unused audio headroom = 75%",
        "Input file: 2 samples.", "Pass 1: Unused audio headroom =  0%", "Output: 4 samples.",
        "Peak audio value = 8192", kEnd, kDone},
       {0x80, 0x80, 0xFF, 0x70}},
      // Measured against a quieter chunk before it, the headroom is negative.
      {"louder second chunk",
       Riff(Cat({PcmFmt(1, 16), Chunk("data", Words({0, 8192})), Chunk("data", Words({32767, -32768}))})),
       kMu,
       {kFmt16, kMono16, "Processing chunk... data, 4 bytes", "Input file: 2 samples.",
        "Pass 1: Unused audio headroom = 75%", "Output: 2 samples.", "Peak audio value = 8192",
        "Processing chunk... data, 4 bytes", "Pass 0: Unused audio headroom = -300%",
        "Input file: 2 samples.", "Pass 1: Unused audio headroom =  0%", "Output: 4 samples.",
        "Peak audio value = 32768", kEnd, kDone},
       {0x80, 0xE0, 0xFF, 0x7F}},

      // The frame must hold both 16-bit samples.
      {"frame too small for 16-bit stereo", Riff(Cat({Chunk("fmt ", FmtBody(1, 2, 2, 16)), Chunk("data", Words({1, 2}))})),
       kMu,
       {kFmt16, "16 bit data, Channels = 2", "Processing chunk... data, 4 bytes",
        "Frame size of 2 bytes too small for 2 channel(s) of 16 bits."},
       {}},
  };
}

class WavToDmx : public EngineTest {};

TEST_F(WavToDmx, GoldenReportsAndImages) {
  for (const ConvertCase& c : convert_cases()) {
    SCOPED_TRACE(c.what);
    ResetEngine(window);
    mu_law = c.set.mu_law;
    invert = c.set.invert;
    autoscale = c.set.autoscale;
    EXPECT_EQ(ConvertWav(c.wav), 0u);
    bool finished = c.log.back() == kDone;
    EXPECT_EQ(conversion_outcome, finished ? OUTCOME_FINISHED : OUTCOME_REJECTED);
    Lines expected = {"Input file: " + Path("in.wav"), "Output file: " + Path("out.bin")};
    expected.insert(expected.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(ReportLog(), expected);
    ASSERT_TRUE(FileExists(Path("out.bin")));
    EXPECT_EQ(Image(), c.image);
    if (finished) {
      EXPECT_GT(window->invalidate_erase, 0) << "no repaint";
    }
    EXPECT_EQ(config_edit, 0);  // the conversion only reads the settings
  }
}

// Every allocation of a conversion with a wide frame fails once in turn:
// whatever is lost, the run ends cleanly. Without the frame buffer nothing
// is reported or touched; without the wider one the file is refused as a
// failure to run, not as a fault of the file.
TEST_F(WavToDmx, EveryAllocationFailingInTurn) {
  const char* const refused = "Not enough memory for a frame of this file.";
  Bytes wav = Riff(Cat({Chunk("fmt ", FmtBody(1, 1, 20, 16)), Chunk("data", Cat({Words({8192}), Bytes(18, 0)}))}));
  ASSERT_TRUE(WriteBytes(Path("in.wav"), wav));
  int refusals = 0;
  for (int k = 0; k < 40; k++) {
    SCOPED_TRACE(k);
    ResetEngine(window);
    ReleaseTextBuffer();
    HeadlessFailAllocations(k, 1);
    uint32_t result = RunConversion(ConvertWAVToDMX, Path("in.wav"), Path("out.bin"));
    HeadlessFailAllocations(-1, 0);
    EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS);
    Lines log = ReportLog();
    if (k == 0) {
      EXPECT_EQ(result, 1u);
      EXPECT_EQ(log, Lines());
      EXPECT_FALSE(FileExists(Path("out.bin")));
      EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
    } else if (std::find(log.begin(), log.end(), refused) != log.end()) {
      refusals++;
      EXPECT_EQ(result, 1u);
      EXPECT_EQ(conversion_outcome, OUTCOME_NOT_STARTED);
      EXPECT_EQ(log.back(), refused);
      EXPECT_EQ(Image(), Bytes());
    } else {
      EXPECT_EQ(result, 0u);
      EXPECT_EQ(Image(), Bytes{0xE0});
    }
  }
  EXPECT_EQ(refusals, 1);
}

}  // namespace
