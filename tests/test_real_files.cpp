// WAV files as sox and ffmpeg write them, made at test time: the walk's
// report on their chunks, images checked against codes computed here from
// the samples sox reads back, the formats this program refuses, and sox
// reading the WAV files this program writes.
#include <stdlib.h>

#include <algorithm>

#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

#define REQUIRE_PROGRAM(name)                                                        \
  if (!HaveProgram(name))                                                            \
  GTEST_SKIP() << name << " is not installed (scripts/setup.sh core installs it)"

struct ChunkInfo {
  std::string name;
  uint32_t size;
};

// The chunks of a well-formed file, read here independently of the walk.
std::vector<ChunkInfo> ChunksOf(const Bytes& wav) {
  std::vector<ChunkInfo> chunks;
  size_t at = 12;
  while (at + 8 <= wav.size()) {
    uint32_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 | (uint32_t)wav[at + 7] << 24;
    chunks.push_back({std::string(wav.begin() + at, wav.begin() + at + 4), size});
    at += 8 + size + (size & 1);
  }
  return chunks;
}

// Every sample of the file as sox decodes it, 16-bit, channels interleaved.
std::vector<int32_t> SoxSamples(const std::string& wav, const std::string& raw) {
  std::vector<int32_t> samples;
  RunResult r = RunProgram({"sox", "-D", wav, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", raw});
  EXPECT_EQ(r.status, 0) << r.err;
  Bytes b = ReadBytes(raw);
  for (size_t i = 0; i + 1 < b.size(); i += 2) samples.push_back((int16_t)(b[i] | b[i + 1] << 8));
  return samples;
}

std::string Headroom(int pass, int32_t scale, int32_t peak) {
  char line[64];
  snprintf(line, sizeof line, "Pass %d: Unused audio headroom = %2d%%", pass,
           (int)((int64_t)(scale - peak) * 100 / scale));
  return line;
}

struct Made {
  const char* what;
  std::vector<std::string> command;  // "OUT" stands for the file to write
  int channels, bits;
};

class RealFiles : public EngineTest {
 protected:
  bool Make(const Made& m, const std::string& out) {
    std::vector<std::string> argv = m.command;
    for (std::string& a : argv)
      if (a == "OUT") a = out;
    RunResult r = RunProgram(argv);
    EXPECT_EQ(r.status, 0) << m.what << ": " << r.err;
    return r.status == 0;
  }
  void CheckConversion(const std::string& wav_path, int channels, int bits);
};

const char* const kSine = "aevalsrc=exprs=0.4*sin(440*2*PI*t)|0.3*sin(300*2*PI*t+1):s=8000:d=0.03";

const Made kGood[] = {
    {"sox, 16-bit mono",
     {"sox", "-n", "-r", "8000", "-c", "1", "-b", "16", "-e", "signed-integer", "OUT", "synth", "0.03",
      "sine", "440", "vol", "0.4"},
     1, 16},
    {"sox, 8-bit stereo",
     {"sox", "-n", "-r", "8000", "-c", "2", "-b", "8", "-e", "unsigned-integer", "OUT", "synth", "0.03",
      "sine", "440", "sine", "300", "vol", "0.5"},
     2, 8},
    {"ffmpeg, 16-bit stereo with bext and LIST chunks",
     {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", kSine, "-c:a", "pcm_s16le", "-fflags",
      "+bitexact", "-write_bext", "1", "-metadata", "title=Kick", "OUT"},
     2, 16},
    {"ffmpeg, 8-bit mono",
     {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", kSine, "-ac", "1", "-c:a", "pcm_u8", "-fflags",
      "+bitexact", "OUT"},
     1, 8},
};

// The whole report and every code, under two sets of settings, against
// what the samples sox reads out of the same file give.
void RealFiles::CheckConversion(const std::string& wav_path, int channels, int bits) {
  Bytes wav = ReadBytes(wav_path);
  std::vector<int32_t> samples = SoxSamples(wav_path, wav_path + ".raw");
  ASSERT_FALSE(samples.empty());
  std::vector<int32_t> mono;
  int32_t peak = 0;
  for (size_t i = 0; i + channels <= samples.size(); i += channels) {
    int32_t s = channels == 1 ? samples[i] : (samples[i] + samples[i + 1]) / 2;
    mono.push_back(s);
    peak = std::max(peak, s < 0 ? -s : s);
  }
  ASSERT_GT(peak, 0);

  struct {
    int mu_law, invert, autoscale;
  } runs[] = {{1, 0, 0}, {0, 1, 1}, {1, 1, 1}};
  for (const auto& run : runs) {
    SCOPED_TRACE(testing::Message() << "mu_law " << run.mu_law << " invert " << run.invert
                                    << " autoscale " << run.autoscale);
    ResetEngine(window);
    mu_law = run.mu_law;
    invert = run.invert;
    autoscale = run.autoscale;
    ASSERT_EQ(RunWavToDmx(wav_path, wav_path + ".bin"), 0u);
    EXPECT_EQ(HeadlessCurrentCursor(), IDC_CROSS);

    int32_t scale = run.autoscale ? peak : 32768;
    Bytes codes;
    for (int32_t s : mono) {
      int32_t x = run.invert ? -s : s;
      codes.push_back((uint8_t)(run.mu_law ? RefMuLaw(x, scale) : RefLinear(x, scale)));
    }
    EXPECT_EQ(ReadBytes(wav_path + ".bin"), codes);

    Lines log{"Input file: " + wav_path, "Output file: " + wav_path + ".bin"};
    for (const ChunkInfo& c : ChunksOf(wav)) {
      log.push_back("Processing chunk... " + c.name + ", " + std::to_string(c.size) + " bytes");
      if (c.name == "fmt ") {
        log.push_back(std::to_string(bits) + " bit data, Channels = " + std::to_string(channels));
      } else if (c.name == "data") {
        EXPECT_EQ(c.size, samples.size() * (bits / 8));
        if (run.autoscale) log.push_back(Headroom(0, 32768, peak));
        log.push_back("Input file: " + std::to_string(samples.size()) + " samples.");
        log.push_back(Headroom(1, scale, peak));
        log.push_back("Output: " + std::to_string(mono.size()) + " samples.");
        log.push_back("Peak audio value = " + std::to_string(peak));
        if (run.mu_law == 0) log.push_back("Output format: Linear offset");
      } else {
        log.push_back("(Ignoring chunk)");
      }
    }
    log.push_back("Unexpected end of file.");
    log.push_back("Finished.");
    EXPECT_EQ(ReportLog(), log);
  }
}

TEST_F(RealFiles, ConvertedAsTheirSamplesSay) {
  REQUIRE_PROGRAM("sox");
  REQUIRE_PROGRAM("ffmpeg");
  for (const Made& m : kGood) {
    SCOPED_TRACE(m.what);
    std::string path = Path("good.wav");
    if (!Make(m, path)) continue;
    CheckConversion(path, m.channels, m.bits);
  }
  // The ffmpeg file really has its text tags before the samples.
  std::string path = Path("tags.wav");
  ASSERT_TRUE(Make(kGood[2], path));
  std::vector<ChunkInfo> chunks = ChunksOf(ReadBytes(path));
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[1].name, "bext");
  EXPECT_EQ(chunks[2].name, "LIST");
}

// Neither program writes a PCM format chunk of 18 bytes (they keep the extra
// size field for other encodings), but other recorders do: here a sox file
// gets that field, zero, added to its format chunk.
TEST_F(RealFiles, EighteenByteFormatChunk) {
  REQUIRE_PROGRAM("sox");
  std::string path = Path("fmt18.wav");
  ASSERT_TRUE(Make(kGood[0], path));
  Bytes wav = ReadBytes(path);
  ASSERT_EQ(ChunksOf(wav)[0].name, "fmt ");
  ASSERT_EQ(ChunksOf(wav)[0].size, 16u);
  wav[16] = 18;                                // the format chunk's size
  wav.insert(wav.begin() + 36, {0, 0});        // cbSize after the 16-byte body
  uint32_t riff = (uint32_t)wav.size() - 8;
  for (int i = 0; i < 4; i++) wav[4 + i] = (uint8_t)(riff >> (8 * i));
  ASSERT_TRUE(WriteBytes(path, wav));
  CheckConversion(path, 1, 16);
}

struct Refused {
  const char* what;
  std::vector<std::string> command;
  Lines log;  // after the two name lines
};

// 24-bit and floating-point files are written with the extensible or the
// floating-point format tag and refused by the walk; a 24-bit file that
// claims plain PCM gets as far as its samples.
TEST_F(RealFiles, FormatsThisProgramRefuses) {
  REQUIRE_PROGRAM("sox");
  REQUIRE_PROGRAM("ffmpeg");
  const char* unknown = "Unknown audio format.";
  const char* fmt40 = "Processing chunk... fmt , 40 bytes";
  const char* fmt18 = "Processing chunk... fmt , 18 bytes";
  std::vector<std::string> ff = {"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i",
                                 "sine=frequency=440:duration=0.01:sample_rate=8000", "-fflags", "+bitexact"};
  auto ffmpeg = [&](std::initializer_list<std::string> more) {
    std::vector<std::string> c = ff;
    c.insert(c.end(), more.begin(), more.end());
    c.push_back("OUT");
    return c;
  };
  std::vector<std::string> sox = {"sox", "-n", "-r", "8000", "-c", "1"};
  auto soxc = [&](std::initializer_list<std::string> more) {
    std::vector<std::string> c = sox;
    c.insert(c.end(), more.begin(), more.end());
    for (const char* a : {"OUT", "synth", "0.01", "sine", "440"}) c.push_back(a);
    return c;
  };
  const Refused cases[] = {
      {"sox, 24-bit", soxc({"-b", "24"}), {fmt40, unknown}},
      {"sox, 32-bit float", soxc({"-e", "floating-point", "-b", "32"}), {fmt18, unknown}},
      {"sox, u-law", soxc({"-e", "u-law"}), {fmt18, unknown}},
      {"ffmpeg, 24-bit", ffmpeg({"-c:a", "pcm_s24le"}), {fmt40, unknown}},
      {"ffmpeg, 32-bit float", ffmpeg({"-c:a", "pcm_f32le"}), {fmt40, unknown}},
      // Above 48 kHz ffmpeg writes even 16-bit samples with the extensible tag.
      {"ffmpeg, 16-bit at 96 kHz", ffmpeg({"-c:a", "pcm_s16le", "-ar", "96000"}), {fmt40, unknown}},
      {"sox, 24-bit with the PCM tag", soxc({"-b", "24", "-t", "wavpcm"}),
       {"Processing chunk... fmt , 16 bytes", "24 bit data, Channels = 1",
        "Processing chunk... data, 240 bytes", "Unsupported sample size: 24 bits (8 or 16 bit PCM only)."}},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.what);
    ResetEngine(window);
    std::string path = Path("refused.wav");
    if (!Make({c.what, c.command, 0, 0}, path)) continue;
    EXPECT_EQ(RunWavToDmx(path, Path("refused.bin")), 0u);
    Lines log{"Input file: " + path, "Output file: " + Path("refused.bin")};
    log.insert(log.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(ReportLog(), log);
    EXPECT_EQ(conversion_outcome, OUTCOME_REJECTED);
    EXPECT_EQ(ReadBytes(Path("refused.bin")), Bytes());
  }
}

// sox reads the files written from an image as this program meant them:
// its rate, one channel, the width and every sample.
TEST_F(RealFiles, SoxReadsTheWavFilesWritten) {
  REQUIRE_PROGRAM("sox");
  Bytes image;
  for (int i = 0; i < 300; i++) image.push_back((uint8_t)(i * 37 + 11));
  ASSERT_TRUE(WriteBytes(Path("voice.bin"), image));
  struct {
    int eightbit;
    double rate;
    const char* rate_text;
  } cases[] = {{0, 24000.0, "24000"}, {1, 31250.7, "31250"}, {0, 8000.0, "8000"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate_text);
    ResetEngine(window);
    play_after_conversion = 0;
    eightbit = c.eightbit;
    sample_rate = c.rate;
    std::string wav = Path("voice.wav");
    ASSERT_EQ(RunDmxToWav(Path("voice.bin"), wav), 0u);
    auto info = [&](const char* what) {
      RunResult r = RunProgram({"sox", "--i", what, wav});
      EXPECT_EQ(r.status, 0) << r.err;
      return SplitLines(r.out).empty() ? std::string() : SplitLines(r.out)[0];
    };
    EXPECT_EQ(info("-r"), c.rate_text);
    EXPECT_EQ(info("-c"), "1");
    EXPECT_EQ(info("-b"), c.eightbit ? "8" : "16");
    EXPECT_EQ(info("-s"), "300");
    std::vector<int32_t> samples = SoxSamples(wav, Path("voice.raw"));
    ASSERT_EQ(samples.size(), image.size());
    for (size_t i = 0; i < image.size(); i++) {
      // sox widens 8-bit samples by shifting them up 8 bits.
      int32_t expected = c.eightbit ? RefDecode(image[i], 127) * 256 : RefDecode(image[i], 32767);
      EXPECT_EQ(samples[i], expected) << "sample " << i << " code " << (int)image[i];
    }
  }
}

}  // namespace
