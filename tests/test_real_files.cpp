// WAV files as sox and ffmpeg write them, made at test time: the walk's
// report on their chunks, images checked against the codes of the samples
// sox reads back, the formats this program refuses, and sox reading the WAV
// files this program writes.
#include <algorithm>
#include <sstream>

#include "convert/codec.h"
#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

#define REQUIRE_PROGRAM(name) \
  if (!HaveProgram(name)) GTEST_SKIP() << name << " is not installed (scripts/setup.sh core installs it)"

struct ChunkInfo {
  std::string name;
  uint32_t size;
};

// The chunks of a well-formed file, read here independently of the walk.
std::vector<ChunkInfo> ChunksOf(const Bytes& wav) {
  std::vector<ChunkInfo> chunks;
  for (size_t at = 12; at + 8 <= wav.size();) {
    uint32_t size = wav[at + 4] | wav[at + 5] << 8 | wav[at + 6] << 16 | (uint32_t)wav[at + 7] << 24;
    chunks.push_back({std::string(wav.begin() + at, wav.begin() + at + 4), size});
    at += 8 + size + (size & 1);
  }
  return chunks;
}

// Every sample of the file as sox decodes it, 16-bit, channels interleaved.
std::vector<int32_t> SoxSamples(const std::string& wav) {
  RunResult r =
      RunProgram({"sox", "-D", wav, "-t", "raw", "-e", "signed-integer", "-b", "16", "-L", wav + ".raw"});
  EXPECT_EQ(r.status, 0) << r.err;
  Bytes b = ReadBytes(wav + ".raw");
  std::vector<int32_t> samples;
  for (size_t i = 0; i + 1 < b.size(); i += 2) samples.push_back((int16_t)(b[i] | b[i + 1] << 8));
  return samples;
}

std::string Headroom(int pass, int32_t scale, int32_t peak) {
  char line[64];
  snprintf(line, sizeof line, "Pass %d: Unused audio headroom = %2d%%", pass,
           (int)((scale - peak) * 100 / scale));
  return line;
}

struct Made {
  const char* what;
  const char* command;  // words apart by spaces; OUT stands for the file to write
  int channels, bits;
};

const Made kGood[] = {
    // 36000 frames: more than one block of the engine.
    {"sox, 16-bit mono",
     "sox -n -r 24000 -c 1 -b 16 -e signed-integer OUT synth 1.5 sine 440 vol 0.4", 1, 16},
    {"sox, 8-bit stereo",
     "sox -n -r 8000 -c 2 -b 8 -e unsigned-integer OUT synth 0.03 sine 440 sine 300 vol 0.5", 2, 8},
    {"ffmpeg, 16-bit stereo with bext and LIST chunks",
     "ffmpeg -v error -y -f lavfi -i "
     "aevalsrc=exprs=0.4*sin(440*2*PI*t)|0.3*sin(300*2*PI*t+1):s=8000:d=0.03 "
     "-c:a pcm_s16le -fflags +bitexact -write_bext 1 -metadata title=Kick OUT",
     2, 16},
    {"ffmpeg, 8-bit mono",
     "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.03:sample_rate=8000 -c:a pcm_u8 "
     "-fflags +bitexact OUT",
     1, 8},
};

class RealFiles : public EngineTest {
 protected:
  bool Make(const char* command, const std::string& out) {
    std::vector<std::string> argv;
    std::istringstream words(command);
    for (std::string w; words >> w;) argv.push_back(w == "OUT" ? out : w);
    RunResult r = RunProgram(argv);
    EXPECT_EQ(r.status, 0) << command << ": " << r.err;
    return r.status == 0;
  }
  void CheckConversion(const std::string& wav_path, int channels, int bits);
};

// The whole report and every code, under three sets of settings, against
// what the samples sox reads out of the same file give.
void RealFiles::CheckConversion(const std::string& wav_path, int channels, int bits) {
  std::vector<int32_t> samples = SoxSamples(wav_path);
  std::vector<int32_t> mono;
  int32_t peak = 0;
  for (size_t i = 0; i + channels <= samples.size(); i += channels) {
    mono.push_back(channels == 1 ? samples[i] : (samples[i] + samples[i + 1]) / 2);
    peak = std::max(peak, std::abs(mono.back()));
  }
  ASSERT_GT(peak, 0);
  const struct {
    int mu_law, invert, autoscale;
  } runs[] = {{1, 0, 0}, {0, 1, 1}, {1, 1, 1}};
  for (const auto& run : runs) {
    SCOPED_TRACE(testing::Message() << "mu_law " << run.mu_law << " invert " << run.invert
                                    << " autoscale " << run.autoscale);
    ResetEngine(window);
    mu_law = run.mu_law;
    invert = run.invert;
    autoscale = run.autoscale;
    ASSERT_EQ(RunConversion(ConvertWAVToDMX, wav_path, wav_path + ".bin"), 0u);
    int32_t scale = run.autoscale ? peak : 32768;
    Bytes codes;
    for (int32_t s : mono) {
      int32_t x = run.invert ? -s : s;
      codes.push_back((uint8_t)(run.mu_law ? LinearTo_u255law(x, scale) : linear(x, scale)));
    }
    EXPECT_TRUE(ReadBytes(wav_path + ".bin") == codes) << "images differ";

    Lines log{"Input file: " + wav_path, "Output file: " + wav_path + ".bin"};
    for (const ChunkInfo& c : ChunksOf(ReadBytes(wav_path))) {
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
    if (Make(m.command, Path("good.wav"))) CheckConversion(Path("good.wav"), m.channels, m.bits);
  }
  // The ffmpeg file really has its text tags before the samples.
  ASSERT_TRUE(Make(kGood[2].command, Path("tags.wav")));
  std::vector<ChunkInfo> chunks = ChunksOf(ReadBytes(Path("tags.wav")));
  ASSERT_EQ(chunks.size(), 4u);
  EXPECT_EQ(chunks[1].name + chunks[2].name, "bextLIST");
}

// Neither program writes a PCM format chunk of 18 bytes (they keep the extra
// size field for other encodings), but other recorders do: here a sox file
// gets that field, zero, added to its format chunk.
TEST_F(RealFiles, EighteenByteFormatChunk) {
  REQUIRE_PROGRAM("sox");
  std::string path = Path("fmt18.wav");
  ASSERT_TRUE(Make(kGood[0].command, path));
  Bytes wav = ReadBytes(path);
  ASSERT_EQ(ChunksOf(wav)[0].name, "fmt ");
  ASSERT_EQ(ChunksOf(wav)[0].size, 16u);
  wav[16] = 18;                          // the format chunk's size
  wav.insert(wav.begin() + 36, {0, 0});  // cbSize after the 16-byte body
  uint32_t riff = (uint32_t)wav.size() - 8;
  for (int i = 0; i < 4; i++) wav[4 + i] = (uint8_t)(riff >> (8 * i));
  ASSERT_TRUE(WriteBytes(path, wav));
  CheckConversion(path, 1, 16);
}

// 24-bit and floating-point files are written with the extensible or the
// floating-point format tag and refused by the walk; a 24-bit file that
// claims plain PCM gets as far as its samples.
TEST_F(RealFiles, FormatsThisProgramRefuses) {
  REQUIRE_PROGRAM("sox");
  REQUIRE_PROGRAM("ffmpeg");
  const char* unknown = "Unknown audio format.";
  const struct {
    const char* command;
    Lines log;  // after the two name lines
  } cases[] = {
      {"sox -n -r 8000 -c 1 -b 24 OUT synth 0.01 sine 440", {"Processing chunk... fmt , 40 bytes", unknown}},
      {"sox -n -r 8000 -c 1 -e floating-point -b 32 OUT synth 0.01 sine 440",
       {"Processing chunk... fmt , 18 bytes", unknown}},
      {"ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=0.01:sample_rate=8000 "
       "-c:a pcm_f32le OUT",
       {"Processing chunk... fmt , 40 bytes", unknown}},
      {"sox -n -r 8000 -c 1 -b 24 -t wavpcm OUT synth 0.01 sine 440",
       {"Processing chunk... fmt , 16 bytes", "24 bit data, Channels = 1",
        "Processing chunk... data, 240 bytes",
        "Unsupported sample size: 24 bits (8 or 16 bit PCM only)."}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    ResetEngine(window);
    std::string path = Path("refused.wav"), image = Path("refused.bin");
    if (!Make(c.command, path)) continue;
    EXPECT_EQ(RunConversion(ConvertWAVToDMX, path, image), 0u);
    Lines log{"Input file: " + path, "Output file: " + image};
    log.insert(log.end(), c.log.begin(), c.log.end());
    EXPECT_EQ(ReportLog(), log);
    EXPECT_EQ(conversion_outcome, OUTCOME_REJECTED);
    EXPECT_EQ(ReadBytes(image), Bytes());
  }
}

// sox reads the files written from an image as this program meant them:
// its rate, one channel, the width and every sample.
TEST_F(RealFiles, SoxReadsTheWavFilesWritten) {
  REQUIRE_PROGRAM("sox");
  Bytes image = Noise(300, 1);
  ASSERT_TRUE(WriteBytes(Path("voice.bin"), image));
  const struct {
    int eightbit;
    double rate;
    const char* rate_text;
  } cases[] = {{0, 24000.0, "24000"}, {1, 31250.7, "31250"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate_text);
    ResetEngine(window);
    eightbit = c.eightbit;
    sample_rate = c.rate;
    std::string wav = Path("voice.wav");
    ASSERT_EQ(RunConversion(ConvertDMXtoWAV, Path("voice.bin"), wav), 0u);
    std::string info;
    for (const char* field : {"-r", "-c", "-b", "-s"}) info += RunProgram({"sox", "--i", field, wav}).out;
    EXPECT_EQ(info, std::string(c.rate_text) + (c.eightbit ? "\n1\n8\n300\n" : "\n1\n16\n300\n"));
    std::vector<int32_t> expected;
    for (uint8_t code : image)  // sox widens 8-bit samples by shifting them up 8 bits
      expected.push_back(c.eightbit ? u255lawToLinear(code, 127) * 256 : u255lawToLinear(code, 32767));
    EXPECT_EQ(SoxSamples(wav), expected);
  }
}

}  // namespace
