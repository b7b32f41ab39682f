// quorix prepare: the DAC-aware encoder against levels worked out here,
// pitch and position after resampling, the region's boundaries, files
// written by sox and ffmpeg, usage errors, the all-or-nothing write, and the
// replayed findings of the fuzz target.
#include <dirent.h>
#include <math.h>
#include <string.h>
#include <sys/stat.h>

#include "convert/codec.h"
#include "fuzz/fuzz_prepare.h"
#include "test_util.h"
#include "voice/prepare.h"

namespace {

// The AM6070's magnitudes from the G.711 segment formula, not from the
// chord table the program uses: ((2 * step + 33) << chord) - 33.
int Magnitude(int m) { return ((2 * (m & 15) + 33) << (m >> 4)) - 33; }
int Level(uint8_t code) { return code & 0x80 ? Magnitude(code & 0x7F) : -Magnitude(code & 0x7F); }

// The code whose level is nearest to `level` DAC steps, found by trying
// them all; the first (smaller) magnitude wins a tie.
uint8_t NearestCode(double level) {
  int best = 0;
  for (int m = 1; m < 128; m++)
    if (fabs(Magnitude(m) - fabs(level)) < fabs(Magnitude(best) - fabs(level))) best = m;
  return best == 0 ? 0x80 : (uint8_t)(level > 0 ? 0x80 | best : best);
}

TEST(PrepareEncoder, EveryInputOfSixteenBitsGetsTheCodeOfItsNearestLevel) {
  for (int v = -32768; v <= 32767; v++) {
    const double x = v / 32768.0;
    ASSERT_EQ(encode_level(x, SampleCode::u255, Encoder::dac), NearestCode(x * 8031)) << v;
    // The curve is the WAV-to-image conversion's, at a 16-bit full scale.
    ASSERT_EQ(encode_level(x, SampleCode::u255, Encoder::curve), LinearTo_u255law(v, 32768)) << v;
    // Linear: v / 256 steps rounded, halves toward zero, clamped at 255.
    int steps = v / 256, rest = v % 256;
    if (rest > 128) steps++;
    if (rest < -128) steps--;
    ASSERT_EQ(encode_level(x, SampleCode::linear, Encoder::dac), std::min(128 + steps, 255)) << v;
    ASSERT_EQ(encode_level(x, SampleCode::linear_inverted, Encoder::dac), std::min(128 - steps, 255)) << v;
  }
}

// ---- Sounds in memory ----

Bytes Wav16(uint32_t rate, const std::vector<int>& samples) {
  Bytes fmt;
  AppendU16(fmt, 1);
  AppendU16(fmt, 1);
  AppendU32(fmt, rate);
  AppendU32(fmt, rate * 2);
  AppendU16(fmt, 2);
  AppendU16(fmt, 16);
  Bytes data;
  for (int s : samples) AppendU16(data, (uint16_t)(int16_t)s);
  return Riff(Cat({Chunk("fmt ", fmt), Chunk("data", data)}));
}

PreparedVoice Prepare(const Bytes& wav, const PrepareOptions& o) {
  std::string error;
  AudioFilePtr file = open_audio_memory(wav.data(), wav.size(), &error);
  EXPECT_TRUE(file) << error;
  return file ? prepare_voice(*file, o) : PreparedVoice();
}

Bytes Whole(const PreparedVoice& v) {
  Bytes b;
  for (const auto& f : v.files) b.insert(b.end(), f.begin(), f.end());
  return b;
}

// An impulse lands where its time falls at the card's clock, counted from
// byte 1: the resampler's delay is taken out, and nothing is lost before.
TEST(PrepareResample, AnImpulseLandsOnItsByteOfTheRegion) {
  const struct {
    uint32_t in_rate;
    const Machine* machine;
    int at;  // input sample of the second impulse
  } cases[] = {{48000, find_machine("dmx"), 4800},
               {44100, find_machine("dmx-snare"), 3000},
               {96000, find_machine("dmx-perc2"), 9000},
               {22050, find_machine("linndrum"), 2000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machine->name);
    std::vector<int> s((size_t)c.at + 100, 0);
    s[0] = s[(size_t)c.at] = 32767;
    PrepareOptions o;
    o.machine = c.machine;
    Bytes image = Whole(Prepare(Wav16(c.in_rate, s), o));
    ASSERT_EQ(image.size(), c.machine->region);
    auto loudest = [&](size_t from, size_t to) {
      size_t best = from;
      for (size_t i = from; i < to; i++)
        if (abs(Level(image[i])) > abs(Level(image[best]))) best = i;
      return (long)best;
    };
    const long second = 1 + lround(c.at * c.machine->rate / c.in_rate);
    EXPECT_NEAR(loudest(1, 50), 1, 1);
    EXPECT_NEAR(loudest((size_t)second - 50, (size_t)second + 50), second, 1);
  }
}

// A constant sound of n samples at the card's own rate (no resampling) in a
// region of 64 bytes: 63 for the sound after the first byte.
TEST(PrepareFit, CutFadeAndPaddingAtTheRegionsEnd) {
  const size_t room = 63, fade = 12;  // 0.5 ms at 24 kHz
  for (size_t n : {1, 62, 63, 64, 65, 500}) {
    SCOPED_TRACE(n);
    PrepareOptions o;
    o.rate = 24000;
    o.region = 64;
    o.fade_ms = 0.5;
    const Bytes wav = Wav16(24000, std::vector<int>(n, 12000));
    PreparedVoice v = Prepare(wav, o);
    Bytes image = Whole(v);
    ASSERT_EQ(image.size(), 64u);
    EXPECT_EQ(image[0], 0x80);
    const size_t kept = std::min(n, room);
    EXPECT_EQ(v.kept, kept);
    EXPECT_EQ(v.cut, (int64_t)(n - kept));
    for (size_t i = kept + 1; i < 64; i++) EXPECT_EQ(image[i], 0x80) << i;
    if (n <= room) {
      for (size_t i = 1; i <= kept; i++) EXPECT_EQ(image[i], 0xFF) << i;
    } else {
      // Full up to the fade, then falling, down to silence on the last byte.
      for (size_t i = 1; i <= room - fade; i++) EXPECT_EQ(image[i], 0xFF) << i;
      EXPECT_LT(Level(image[room - fade + 1]), 8031);
      for (size_t i = room - fade + 1; i < room; i++) EXPECT_GE(Level(image[i]), Level(image[i + 1])) << i;
      EXPECT_EQ(Level(image[room]), 0);
    }
    o.cut = false;
    EXPECT_EQ(Prepare(wav, o).outcome, n <= room ? PrepareOutcome::finished : PrepareOutcome::bad_input);
    o.cut = true;
    o.pad = false;
    EXPECT_EQ(Whole(Prepare(wav, o)).size(), kept + 1);
  }
}

TEST(PrepareLevel, NormalizeGainClipAndSilence) {
  const struct {
    const char* what;
    int sample;
    bool normalize;
    double gain_db;
    uint8_t code;  // of every sound byte
    int64_t clipped;
  } cases[] = {
      {"silence is zero codes", 0, true, 0, 0x80, 0},
      {"a quiet sound normalized", -300, true, 0, NearestCode(-8031), 0},
      {"a fixed gain keeps the level", -8192, false, 0, NearestCode(-8192 / 32768.0 * 8031), 0},
      {"+6 dB takes 0.75 beyond full scale", 24576, false, 6, 0xFF, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareOptions o;
    o.rate = 24000;
    o.normalize = c.normalize;
    o.gain_db = c.gain_db;
    PreparedVoice v = Prepare(Wav16(24000, std::vector<int>(10, c.sample)), o);
    Bytes image = Whole(v);
    ASSERT_EQ(v.kept, 10u);
    for (size_t i = 1; i <= 10; i++) EXPECT_EQ(image[i], c.code) << i;
    EXPECT_EQ(v.clipped, c.clipped);
  }
}

// Samples that are no numbers are silence, counted; they do not spoil the
// peak the rest is normalized to.
TEST(PrepareLevel, NonFiniteSamplesAreSilence) {
  Bytes fmt, data;
  AppendU16(fmt, 3);  // IEEE float
  AppendU16(fmt, 1);
  AppendU32(fmt, 24000);
  AppendU32(fmt, 24000 * 4);
  AppendU16(fmt, 4);
  AppendU16(fmt, 32);
  for (float f : {NAN, INFINITY, 0.5f, -INFINITY}) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    AppendU32(data, bits);
  }
  PrepareOptions o;
  o.rate = 24000;
  PreparedVoice v = Prepare(Riff(Cat({Chunk("fmt ", fmt), Chunk("data", data)})), o);
  EXPECT_EQ(v.nonfinite, 3);
  Bytes image = Whole(v);
  ASSERT_EQ(v.kept, 4u);
  EXPECT_EQ(Bytes(image.begin() + 1, image.begin() + 5), Bytes({0x80, 0x80, 0xFF, 0x80}));
}

// The ratio of the signal to what the DAC adds: a sound that is exactly on
// the DAC's levels, at any scale, has no noise; on a dying tone, codes chosen for
// the DAC beat the continuous curve.
TEST(PrepareSnr, GainMatchedAndBetterForTheDacEncoder) {
  std::vector<float> sound;
  std::vector<uint8_t> codes;
  for (int c = 0; c < 256; c++) {
    codes.push_back((uint8_t)c);
    sound.push_back(0.3f * (float)Level((uint8_t)c) / 8031);
  }
  EXPECT_GT(dac_snr_db(sound, codes, SampleCode::u255), 120);  // float's rounding alone
  sound.assign(2000, 0);
  for (size_t i = 0; i < sound.size(); i++) sound[i] = (float)(0.9 * exp(-0.001 * i) * sin(i * 0.07));
  double dac = dac_snr_db(sound, encode_sound(sound, SampleCode::u255, Encoder::dac), SampleCode::u255);
  double curve = dac_snr_db(sound, encode_sound(sound, SampleCode::u255, Encoder::curve), SampleCode::u255);
  EXPECT_GT(dac, curve + 3) << dac << " against " << curve;
}

// ---- The command over files written by other programs ----

class PrepareCli : public ::testing::Test {
 protected:
  void SetUp() override { dir = MakeTempDir(); }
  void TearDown() override { RemoveTree(dir); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  RunResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {QUORIX_CLI, "prepare"});
    return RunProgram(args, dir);
  }
  // A shell command line in the folder, with $Q for the converter.
  RunResult Shell(const std::string& line) {
    return RunProgram({"sh", "-c", "Q=" QUORIX_CLI "; " + line}, dir);
  }
  void Make(const std::string& command) {
    RunResult r = Shell(command);
    ASSERT_EQ(r.status, 0) << command << "\n" << r.err;
  }
  std::string dir;
};

bool Has(const Lines& lines, const std::string& part) {
  for (const std::string& l : lines)
    if (l.find(part) != std::string::npos) return true;
  return false;
}

// The frequency of a sound from its rising zero crossings, interpolated.
double Frequency(const std::vector<double>& s, double rate) {
  std::vector<double> rises;
  for (size_t i = 1; i < s.size(); i++)
    if (s[i - 1] < 0 && s[i] >= 0) rises.push_back((double)(i - 1) + s[i - 1] / (s[i - 1] - s[i]));
  if (rises.size() < 2) return 0;
  return (double)(rises.size() - 1) / (rises.back() - rises.front()) * rate;
}

TEST_F(PrepareCli, TwentyFourBitStereoBecomesADmxImageAtTheRightPitch) {
  Make("sox -n -r 48000 -b 24 -c 2 kick.wav synth 0.1 sine 1000 vol 0.8");
  RunResult r = Run({"kick.wav", "kick.bin", "--preview", "kick-preview.wav"});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes image = ReadBytes(Path("kick.bin"));
  ASSERT_EQ(image.size(), 4096u);
  EXPECT_EQ(image[0], 0x80);
  const size_t sound = 2720;  // 0.1 s at 27200 Hz
  for (size_t i = sound + 1; i < image.size(); i++) ASSERT_EQ(image[i], 0x80) << i;
  std::vector<double> levels;
  for (size_t i = 1; i <= sound; i++) levels.push_back(Level(image[i]));
  EXPECT_NEAR(Frequency(levels, 27200), 1000, 1);

  // The preview, as sox reads it: the card's rate, and the image's levels
  // from byte 1 to the region's end.
  RunResult rate = RunProgram({"sox", "--i", "-r", Path("kick-preview.wav")});
  EXPECT_EQ(rate.out, "27200\n");
  Make("sox kick-preview.wav -t raw -e signed-integer -b 16 -L preview.raw");
  Bytes raw = ReadBytes(Path("preview.raw"));
  ASSERT_EQ(raw.size(), 2 * 4095u);
  for (size_t i = 0; i < 4095; i++) {
    int16_t v = (int16_t)(raw[2 * i] | raw[2 * i + 1] << 8);
    ASSERT_NEAR(v, Level(image[i + 1]) * 32768.0 / 8031, 1) << i;
  }
}

TEST_F(PrepareCli, FilesOfEveryKindAndWhatBecomesOfThem) {
  const struct {
    const char* what;
    const char* make;  // shell commands writing the input
    const char* run;   // the command, $Q the converter
    int status;
    std::vector<std::string> facts;  // parts of report lines, or of stderr when it fails
    size_t bytes;                    // of out.bin; 0 when none is written
  } cases[] = {
      {"24-bit extensible, 96 kHz", "sox -n -r 96000 -b 24 -c 2 in.wav synth 0.1 sine 440",
       "$Q prepare in.wav out.bin", 0,
       {"Format: WAVEX (Microsoft), Signed 24 bit PCM, 2 channels, 96000 Hz, 0.100 s",
        "Resampled: 96000 Hz to 27200 Hz", "Kept: 2720 samples (100.0 ms); cut: 0",
        "Padded: 1375 bytes (50.6 ms) with 0x80", "Finished."},
       4096},
      {"32-bit float", "sox -n -r 44100 -e floating-point -b 32 -c 1 in.wav synth 0.2 sine 440",
       "$Q prepare in.wav out.bin", 0, {"32 bit float", "Kept: 4095 samples (150.6 ms); cut: 1345 samples"}, 4096},
      {"FLAC for the snare card", "sox -n -r 48000 -b 16 -c 1 in.flac synth 0.05 sine 440",
       "$Q prepare --machine dmx-snare in.flac out.bin", 0,
       {"FLAC (Free Lossless Audio Codec)", "Kept: 2040 samples"}, 4096},
      {"AIFF for the SDS", "sox -n -r 32000 -b 16 -c 1 in.aiff synth 0.05 sine 440",
       "$Q prepare --machine sds in.aiff out.bin", 0,
       {"AIFF (Apple/SGI)", "Resampled: no", "linear codes", "Encoder: linear, rounded"}, 8192},
      {"six channels mixed",
       "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.05:sample_rate=48000 -ac 6 in.wav",
       "$Q prepare in.wav out.bin", 0, {"6 channels", "Mixed: 6 channels averaged into one"}, 4096},
      {"a channel the file lacks",
       "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.05:sample_rate=48000 -ac 6 in.wav",
       "$Q prepare --channel 7 in.wav out.bin", 2, {"the input has 6 channels, no channel 7"}, 0},
      {"u-law WAV",
       "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.05:sample_rate=8000 -c:a pcm_mulaw in.wav",
       "$Q prepare in.wav out.bin", 0, {"U-Law", "Kept: 1360 samples"}, 4096},
      {"one frame", "sox -n -r 48000 -b 16 -c 1 in.wav synth 1s sine 100 trim 0 1s",
       "$Q prepare in.wav out.bin", 0, {"Kept: 1 sample (0.0 ms)"}, 4096},
      {"no frames", "sox -n -r 48000 -b 16 -c 1 in.wav trim 0 0", "$Q prepare in.wav out.bin", 2,
       {"no frames"}, 0},
      {"a truncated FLAC through a pipe",
       "sox -n -r 48000 -b 16 -c 1 in.flac synth 0.05 whitenoise && head -c 2000 in.flac >cut.flac",
       "cat cut.flac | $Q prepare - out.bin", 2, {"Input: standard input", "the input ends after"}, 0},
      {"WAV through a pipe, length unknown",
       "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.3:sample_rate=48000 in.wav",
       "ffmpeg -loglevel error -i in.wav -f wav - | $Q prepare - out.bin", 0,
       {"length unknown (a stream)", "cut: the rest of a stream of unknown length", "Finished."}, 4096},
      {"the cymbal card's four chips", "sox -n -r 48000 -b 16 -c 1 in.wav synth 0.05 sine 440",
       "$Q prepare --machine dmx-cymbal in.wav out.bin && test $(cat out-?.bin | wc -c) = 16384 && "
       "test \"$(od -An -tx1 -v out-4.bin | tr -s ' ' '\\n' | sort -u | tr -d '\\n')\" = 80",
       0, {"Chips: 4 files of 4096 bytes (2732)", "Output: out-4.bin (chip 4 of 4, addresses 0x3000-0x3FFF)"}, 0},
      {"a 4 KB voice for an 8 KB socket", "sox -n -r 48000 -b 16 -c 1 in.wav synth 0.05 sine 440",
       "$Q prepare --chips 2764 in.wav out.bin", 0, {"Chip: 8192 bytes (2764)"}, 8192},
      {"text", "echo hello drums >in.wav", "$Q prepare in.wav out.bin", 2, {"not a sound file"}, 0},
      {"no such file", "true", "$Q prepare gone.wav out.bin", 1, {"cannot open gone.wav"}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Make(std::string("rm -f out*.bin; ") + c.make);
    RunResult r = Shell(c.run);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    Lines said = SplitLines(r.out + r.err);
    for (const std::string& fact : c.facts) EXPECT_TRUE(Has(said, fact)) << fact << "\n" << r.out << r.err;
    if (c.status == 0) {
      EXPECT_EQ(said.back(), "Finished.");
    }
    EXPECT_EQ(ReadBytes(Path("out.bin")).size(), c.bytes);
  }
}

TEST_F(PrepareCli, UsageErrorsSayWhyInOneLine) {
  ASSERT_TRUE(WriteBytes(Path("in.wav"), Wav16(24000, {1, 2, 3})));
  const std::vector<std::vector<std::string>> cases = {
      {"in.wav"},
      {"in.wav", "a.bin", "b.bin"},
      {"--bogus", "in.wav", "out.bin"},
      {"-x", "in.wav", "out.bin"},
      {"--machine", "tr808", "in.wav", "out.bin"},
      {"--rate", "999", "in.wav", "out.bin"},
      {"--rate", "200001", "in.wav", "out.bin"},
      {"--rate=27k", "in.wav", "out.bin"},
      {"--eprom", "2700", "in.wav", "out.bin"},
      {"--size", "1", "in.wav", "out.bin"},
      {"--size", "4096.5", "in.wav", "out.bin"},
      {"--size", "5000", "--chips", "2716", "in.wav", "out.bin"},
      {"--no-pad", "--chips", "2732", "in.wav", "out.bin"},
      {"--no-pad", "--machine", "dmx-cymbal", "in.wav", "out.bin"},
      {"--encoder", "curve", "--code", "linear", "in.wav", "out.bin"},
      {"--channel", "0", "in.wav", "out.bin"},
      {"--fade", "-1", "in.wav", "out.bin"},
      {"--gain", "121", "in.wav", "out.bin"},
      {"--trim=yes", "in.wav", "out.bin"},
      {"--preview", "out.bin", "in.wav", "out.bin"},
      {"in.wav", "-"},
      {"--gain"},
  };
  for (const auto& args : cases) {
    std::string shown;
    for (const std::string& a : args) shown += a + " ";
    SCOPED_TRACE(shown);
    RunResult r = Run(args);
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "");
    Lines err = SplitLines(r.err);
    ASSERT_EQ(err.size(), 1u);
    EXPECT_EQ(err[0].rfind("quorix prepare: ", 0), 0u) << err[0];
  }
  EXPECT_FALSE(Exists(Path("out.bin")));
}

TEST_F(PrepareCli, AFailedWriteChangesNothingAndDevicesStayDevices) {
  ASSERT_TRUE(WriteBytes(Path("in.wav"), Wav16(24000, std::vector<int>(100, 5000))));
  const Bytes old = {'o', 'l', 'd'};
  ASSERT_TRUE(WriteBytes(Path("out.bin"), old));
  // The preview cannot be written: the image is not put in place either.
  RunResult r = Run({"in.wav", "out.bin", "--preview", "none/p.wav"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ReadBytes(Path("out.bin")), old);
  EXPECT_EQ(Shell("ls | grep -c tmp").out, "0\n") << "a temporary file left behind";
  // The input is never written, whatever its name.
  EXPECT_EQ(Run({"in.wav", "./in.wav"}).status, 1);
  EXPECT_EQ(ReadBytes(Path("in.wav")).size(), 244u);

  // Written in place: renaming over /dev/null, as root, would leave a file there.
  EXPECT_EQ(Run({"in.wav", "/dev/null"}).status, 0);
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  // A programmer reading from a FIFO gets the whole image.
  r = Shell("mkfifo chip && (cat chip >got &) && $Q prepare --quiet in.wav chip; s=$?; sleep 0.2; exit $s");
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(stat(Path("chip").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(ReadBytes(Path("got")).size(), 4096u);
}

// Every seed and finding of the fuzz target, through the target's own entry.
TEST(PrepareFuzzFindings, Replay) {
  const std::string folder = QUORIX_SOURCE_DIR "/fuzz/seeds/prepare";
  DIR* d = opendir(folder.c_str());
  ASSERT_TRUE(d) << folder;
  int replayed = 0;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] == '.') continue;
    Bytes b = ReadBytes(folder + "/" + e->d_name);
    EXPECT_EQ(FuzzPrepareOne(b.data(), b.size()), "") << e->d_name;
    replayed++;
  }
  closedir(d);
  EXPECT_GE(replayed, 9);
}

}  // namespace
