// quorix prepare: the encoder against the G.711 levels, resampling, the
// region's bounds, files from sox and ffmpeg, usage errors, the write.
#include <math.h>
#include <sys/stat.h>

#include "convert/codec.h"
#include "test_util.h"
#include "voice/prepare.h"

namespace {

// Found by trying every code; the smaller magnitude wins a tie.
uint8_t NearestCode(double level) {
  int best = 0;
  for (int m = 1; m < 128; m++)
    if (fabs(G711Level(0x80 | m) - fabs(level)) < fabs(G711Level(0x80 | best) - fabs(level))) best = m;
  return best == 0 ? 0x80 : (uint8_t)(level > 0 ? 0x80 | best : best);
}

TEST(PrepareEncoder, EveryInputOfSixteenBitsGetsTheCodeOfItsNearestLevel) {
  for (int v = -32768; v <= 32767; v++) {
    const double x = v / 32768.0;
    ASSERT_EQ(encode_level(x, SampleCode::u255, Encoder::dac), NearestCode(x * 8031)) << v;
    // The curve is the WAV-to-image conversion's, at a 16-bit full scale.
    ASSERT_EQ(encode_level(x, SampleCode::u255, Encoder::curve), LinearTo_u255law(v, 32768)) << v;
    ASSERT_EQ(encode_level((v + 0.75) / 32768, SampleCode::u255, Encoder::curve),
              LinearTo_u255law(v < 0 ? v + 1 : v, 32768)) << v;  // truncated toward zero
    // Linear: v / 256 steps rounded, halves toward zero, clamped at 255.
    int steps = v / 256 + (v % 256 > 128) - (v % 256 < -128);
    ASSERT_EQ(encode_level(x, SampleCode::linear, Encoder::dac), std::min(128 + steps, 255)) << v;
    ASSERT_EQ(encode_level(x, SampleCode::linear_inverted, Encoder::dac), std::min(128 - steps, 255)) << v;
  }
  // No 16-bit input falls halfway between two levels: there the smaller wins.
  for (int m = 1; m < 128; m++) {
    const double half = (G711Level(0x80 | (m - 1)) + G711Level(0x80 | m)) / 2.0;
    ASSERT_EQ(dac76_nearest(half), NearestCode(half)) << half;
    ASSERT_EQ(dac76_nearest(-half), NearestCode(-half)) << half;
  }
}

PreparedVoice Prepare(const Bytes& wav, const PrepareOptions& o, Bytes* image = nullptr) {
  std::string error;
  AudioFilePtr file = open_audio_memory(wav.data(), wav.size(), &error);
  EXPECT_TRUE(file) << error;
  VoiceSettings s;
  EXPECT_EQ(resolve_options(o, &s), "");
  PreparedVoice v = file ? prepare_voice(*file, o, s) : PreparedVoice();
  if (image) {
    image->clear();
    for (const auto& f : v.files) image->insert(image->end(), f.begin(), f.end());
  }
  return v;
}

// The resampler's delay is taken out: an impulse lands on its byte, counted from byte 1.
TEST(PrepareResample, AnImpulseLandsOnItsByteOfTheRegion) {
  const struct {
    uint32_t in_rate;
    const char* machine;
    int at;  // input sample of the second impulse
  } cases[] = {{48000, "dmx", 4800}, {44100, "dmx-snare", 3000}, {96000, "dmx-perc2", 9000}, {22050, "linndrum", 2000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.machine);
    std::vector<int> s((size_t)c.at + 100, 0);
    s[0] = s[(size_t)c.at] = 32767;
    PrepareOptions o;
    o.machine = find_machine(c.machine);
    Bytes image;
    Prepare(Mono16(s, c.in_rate), o, &image);
    ASSERT_EQ(image.size(), o.machine->region);
    auto loudest = [&](long from, long to) {
      long best = from;
      for (long i = from; i < to; i++)
        if (abs(G711Level(image[(size_t)i])) > abs(G711Level(image[(size_t)best]))) best = i;
      return best;
    };
    const long second = 1 + lround(c.at * o.machine->rate / c.in_rate);
    EXPECT_NEAR(loudest(1, 50), 1, 1);
    EXPECT_NEAR(loudest(second - 50, second + 50), second, 1);
  }
}

// n constant samples, not resampled, into 63 bytes after the first.
TEST(PrepareFit, CutFadeAndPaddingAtTheRegionsEnd) {
  const size_t room = 63, fade = 12;  // 0.5 ms at 24 kHz
  for (size_t n : {1, 62, 63, 64, 65, 500}) {
    SCOPED_TRACE(n);
    PrepareOptions o;
    o.rate = 24000;
    o.region = 64;
    o.fade_ms = 0.5;
    const Bytes wav = Mono16(std::vector<int>(n, 12000));
    Bytes image;
    PreparedVoice v = Prepare(wav, o, &image);
    ASSERT_EQ(image.size(), 64u);
    const size_t kept = std::min(n, room);
    EXPECT_EQ(v.kept, kept);
    EXPECT_EQ(v.cut, (int64_t)(n - kept));
    // Full up to the fade, then falling, down to silence on the last byte.
    const size_t full = n <= room ? kept : room - fade;
    for (size_t i = 1; i < 64; i++) {
      if (i <= full || i > kept) {
        EXPECT_EQ(image[i], i <= full ? 0xFF : 0x80) << i;
      } else if (i < kept) {
        EXPECT_GE(G711Level(image[i]), G711Level(image[i + 1])) << i;
      }
    }
    if (n > room) {
      EXPECT_LT(G711Level(image[full + 1]), 8031);
      EXPECT_EQ(G711Level(image[room]), 0);
    }
    o.pad = false;
    Prepare(wav, o, &image);
    EXPECT_EQ(image.size(), kept + 1);
  }
}

TEST(PrepareLevel, FirstByteLevelsClipsAndPadding) {
  Bytes floats;
  for (float f : {NAN, INFINITY, 0.5f, -INFINITY}) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    AppendU32(floats, bits);
  }
  std::vector<int> quiet_start(1500, 30);  // -60.8 dBFS, over more than one read block
  quiet_start.insert(quiet_start.end(), {-40, 16384, -16384});
  const int64_t x = 8031;  // the DAC's full scale
  const struct {
    const char* what;
    Bytes wav;
    void (*set)(PrepareOptions* o);
    Bytes codes;  // the first byte, then the sound
    int64_t clipped, nonfinite;
  } cases[] = {
      {"silence is zero codes", Mono16({0, 0, 0}), [](PrepareOptions*) {}, Bytes(4, 0x80), 0, 0},
      {"a quiet sound normalized", Mono16({-300, -300}), [](PrepareOptions*) {}, {0x80, 0x7F, 0x7F}, 0, 0},
      {"+6 dB takes 0.75 beyond full scale", Mono16({24576, -24576, 8192}),
       [](PrepareOptions* o) { o->normalize = false, o->gain_db = 6; },
       {0x80, 0xFF, 0x7F, NearestCode(8192 * x * 1.9952623 / 32768)}, 2, 0},
      {"non-finite samples", Riff(Cat({Chunk("fmt ", FmtBody(3, 1, 4, 32)), Chunk("data", floats)})),
       [](PrepareOptions*) {}, {0x80, 0x80, 0x80, 0xFF, 0x80}, 0, 3},
      {"leading silence trimmed", Mono16(quiet_start), [](PrepareOptions* o) { o->trim = true; },
       {0x80, NearestCode(-80 * x / 32768.0), 0xFF, 0x7F}, 0, 0},
      // The LinnDrum idles on 0x00, the AM6070's other zero; only under its own code.
      {"LinnDrum", Mono16({8192}), [](PrepareOptions* o) { o->machine = find_machine("linndrum"); },
       {0x00, 0xFF}, 0, 0},
      {"LinnDrum with linear codes", Mono16({8192}),
       [](PrepareOptions* o) { o->machine = find_machine("linndrum"), o->code_given = true, o->code = SampleCode::linear; },
       {0x80, 0xFF}, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareOptions o;
    c.set(&o);
    o.rate = 24000;
    Bytes image;
    PreparedVoice v = Prepare(c.wav, o, &image);
    ASSERT_EQ(v.kept + 1, c.codes.size());
    EXPECT_EQ(Bytes(image.begin(), image.begin() + (long)c.codes.size()), c.codes);
    EXPECT_EQ(image[c.codes.size()], 0x80) << "padding";
    EXPECT_EQ(v.clipped, c.clipped);
    EXPECT_EQ(v.nonfinite, c.nonfinite);
    bool trimmed = false;
    for (const std::string& line : prepare_report(v, o)) trimmed |= line.rfind("Trimmed: 1500 samples ", 0) == 0;
    EXPECT_EQ(trimmed, o.trim);
  }
}

// A sound on the DAC's levels, at any scale, has no noise.
TEST(PrepareSnr, GainMatched) {
  std::vector<float> sound;
  std::vector<uint8_t> codes;
  for (int c = 0; c < 256; c++) {
    codes.push_back((uint8_t)c);
    sound.push_back(0.3f * (float)G711Level((uint8_t)c) / 8031);
  }
  EXPECT_GT(dac_snr_db(sound, codes, SampleCode::u255), 120);  // float's rounding alone
}

class PrepareCli : public ScratchTest {
 protected:
  // $Q stands for the converter.
  RunResult Shell(const std::string& line) { return RunProgram({"sh", "-c", "Q=" QUORIX_CLI "; " + line}, dir); }
  void Make(const std::string& command) {
    RunResult r = Shell(command);
    ASSERT_EQ(r.status, 0) << command << "\n" << r.err;
  }
};

TEST_F(PrepareCli, TwentyFourBitStereoBecomesADmxImageAtTheRightPitch) {
  Make("sox -n -r 48000 -b 24 -c 2 kick.wav synth 0.1 sine 1000 vol 0.8");
  RunResult r = Quorix({"prepare", "kick.wav", "kick.bin", "--preview", "kick-preview.wav"});
  ASSERT_EQ(r.status, 0) << r.err;
  Bytes image = ReadBytes(Path("kick.bin"));
  ASSERT_EQ(image.size(), 4096u);
  // The preview as sox reads it: the card's rate, the levels from byte 1.
  EXPECT_EQ(RunProgram({"sox", "--i", "-r", Path("kick-preview.wav")}).out, "27200\n");
  Make("sox kick-preview.wav -t raw -e signed-integer -b 16 -L preview.raw");
  Bytes raw = ReadBytes(Path("preview.raw"));
  ASSERT_EQ(raw.size(), 2 * 4095u);
  for (size_t i = 0; i < 4095; i++)
    ASSERT_NEAR((int16_t)(raw[2 * i] | raw[2 * i + 1] << 8), G711Level(image[i + 1]) * 32768.0 / 8031, 1) << i;
}

TEST_F(PrepareCli, FilesOfEveryKindAndWhatBecomesOfThem) {
  const std::string six = "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.05:sample_rate=48000 "
                          "-ac 6 in.wav";
  const struct {
    const char* what;
    std::string make;  // shell commands writing the input
    const char* run;   // the command, $Q the converter
    int status;
    std::vector<std::string> facts;  // parts of report lines, or of stderr when it fails
    size_t bytes;                    // of out.bin; 0 when none is written
  } cases[] = {
      {"24-bit extensible, 96 kHz", "sox -n -r 96000 -b 24 -c 2 in.wav synth 0.1 sine 440", "$Q prepare in.wav out.bin",
       0,
       {"Format: WAVEX (Microsoft), Signed 24 bit PCM, 2 channels, 96000 Hz, 0.100 s",
        "Resampled: 96000 Hz to 27200 Hz", "Kept: 2720 samples (100.0 ms); cut: 0",
        "Padded: 1375 bytes (50.6 ms) with 0x80"},
       4096},
      {"32-bit float", "sox -n -r 44100 -e floating-point -b 32 -c 1 in.wav synth 0.2 sine 440",
       "$Q prepare in.wav out.bin", 0, {"32 bit float", "Kept: 4095 samples (150.6 ms); cut: 1345 samples"}, 4096},
      {"FLAC for the snare card", "sox -n -r 48000 -b 16 -c 1 in.flac synth 0.05 sine 440",
       "$Q prepare --machine dmx-snare in.flac out.bin", 0, {"FLAC (Free Lossless Audio Codec)", "Kept: 2040 samples"},
       4096},
      {"AIFF for the SDS", "sox -n -r 32000 -b 16 -c 1 in.aiff synth 0.05 sine 440",
       "$Q prepare --machine sds in.aiff out.bin", 0,
       {"AIFF (Apple/SGI)", "Resampled: no", "linear codes", "Encoder: linear, rounded"}, 8192},
      {"six channels mixed", six, "$Q prepare in.wav out.bin", 0, {"6 channels", "Mixed: 6 channels averaged"}, 4096},
      // Left silent, right at -6 dBFS: the chosen channel, and the average (not sum).
      {"the right channel", "sox -n -r 27200 -b 16 -c 2 in.wav synth 0.05 sine 440 remix 0 1 vol 0.5",
       "$Q prepare --channel 2 --gain 0 in.wav out.bin", 0, {"Channel: 2 of 2", "Peak: -6.0 dBFS"}, 4096},
      {"both channels averaged", "sox -n -r 27200 -b 16 -c 2 in.wav synth 0.05 sine 440 remix 0 1 vol 0.5",
       "$Q prepare --gain 0 in.wav out.bin", 0, {"Mixed: 2 channels averaged", "Peak: -12.0 dBFS"}, 4096},
      {"a channel the file lacks", six, "$Q prepare --channel 7 in.wav out.bin", 2,
       {"the input has 6 channels, no channel 7"}, 0},
      {"u-law WAV",
       "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.05:sample_rate=8000 -c:a pcm_mulaw in.wav",
       "$Q prepare in.wav out.bin", 0, {"U-Law", "Kept: 1360 samples"}, 4096},
      {"one frame", "sox -n -r 48000 -b 16 -c 1 in.wav synth 1s sine 100 trim 0 1s", "$Q prepare in.wav out.bin", 0,
       {"Kept: 1 sample (0.0 ms)"}, 4096},
      {"no frames", "sox -n -r 48000 -b 16 -c 1 in.wav trim 0 0", "$Q prepare in.wav out.bin", 2, {"no frames"}, 0},
      {"a truncated FLAC through a pipe",
       "sox -n -r 48000 -b 16 -c 1 in.flac synth 0.05 whitenoise && head -c 2000 in.flac >cut.flac",
       "cat cut.flac | $Q prepare - out.bin", 2, {"Input: standard input", "the input ends after"}, 0},
      {"WAV through a pipe, length unknown",
       "ffmpeg -y -loglevel error -f lavfi -i sine=frequency=300:duration=0.3:sample_rate=48000 in.wav",
       "ffmpeg -loglevel error -i in.wav -f wav - | $Q prepare - out.bin", 0,
       {"length unknown (a stream)", "cut: the rest of a stream of unknown length"}, 4096},
      {"a stream too long for --no-cut", "ffmpeg -y -loglevel error -f lavfi -i sine=duration=0.3 in.wav",
       "ffmpeg -loglevel error -i in.wav -f wav - | $Q prepare --no-cut - out.bin", 2, {"(--no-cut)"}, 0},
      {"the cymbal card's four chips", "sox -n -r 48000 -b 16 -c 1 in.wav synth 0.05 sine 440",
       "$Q prepare --machine dmx-cymbal in.wav out.bin && test $(cat out-?.bin | wc -c) = 16384 && "
       "test \"$(od -An -tx1 -v out-4.bin | tr -s ' ' '\\n' | sort -u | tr -d '\\n')\" = 80",
       0, {"Chips: 4 files of 4096 bytes (2732)", "Output: out-4.bin (chip 4 of 4, addresses 0x3000-0x3FFF)"}, 0},
      {"a 4 KB voice for an 8 KB socket", "sox -n -r 48000 -b 16 -c 1 in.wav synth 0.05 sine 440",
       "$Q prepare --chips 2764 --preview p.wav in.wav out.bin", 0,
       {"Chip: 8192 bytes (2764)", "Preview: p.wav (4095 samples"}, 8192},  // one trigger plays the region only
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Make("rm -f out*.bin; " + c.make);
    RunResult r = Shell(c.run);
    EXPECT_EQ(r.status, c.status) << r.out << r.err;
    for (const std::string& fact : c.facts) EXPECT_NE((r.out + r.err).find(fact), std::string::npos) << fact;
    EXPECT_TRUE(c.status != 0 || r.out.rfind("Finished.\n") == r.out.size() - 10) << r.out;
    EXPECT_EQ(ReadBytes(Path("out.bin")).size(), c.bytes) << r.out << r.err;
  }
}

TEST_F(PrepareCli, UsageErrorsSayWhyInOneLine) {
  ASSERT_TRUE(WriteBytes(Path("in.wav"), Mono16({1, 2, 3})));
  std::vector<Lines> cases = {{"in.wav"}, {"in.wav", "a.bin", "b.bin"}, {"in.wav", "-"}, {"--gain"}};
  for (Lines options : std::vector<Lines>{
           {"--machine", "tr808"}, {"--rate", "999"}, {"--rate", "200001"}, {"--eprom", "2700"}, {"--size", "1"}, {"--size", "4096.5"}, {"--size", "5000", "--chips", "2716"},
           {"--no-pad", "--chips", "2732"}, {"--no-pad", "--machine", "dmx-cymbal"}, {"--encoder", "curve", "--code", "linear"},
           {"--channel", "0"}, {"--fade", "-1"}, {"--gain", "121"}}) {
    options.insert(options.end(), {"in.wav", "out.bin"});
    cases.push_back(options);
  }
  for (Lines args : cases) {
    SCOPED_TRACE(args[0] + " " + args.back());
    args.insert(args.begin(), "prepare");
    RunResult r = Quorix(args);
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(SplitLines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("quorix prepare: ", 0), 0u) << r.err;
  }
  EXPECT_FALSE(Exists(Path("out.bin")));
}

TEST_F(PrepareCli, DevicesAndFifosAreWrittenInPlace) {
  ASSERT_TRUE(WriteBytes(Path("in.wav"), Mono16(std::vector<int>(100, 5000))));
  // Written in place: renaming over /dev/null, as root, would leave a file there.
  EXPECT_EQ(Quorix({"prepare", "in.wav", "/dev/null"}).status, 0);
  struct stat st;
  EXPECT_TRUE(stat("/dev/null", &st) == 0 && S_ISCHR(st.st_mode));
  // A programmer reading from a FIFO gets the whole image.
  RunResult r = Shell("mkfifo chip && (cat chip >got &) && $Q prepare --quiet in.wav chip; s=$?; sleep 0.2; exit $s");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(stat(Path("chip").c_str(), &st) == 0 && S_ISFIFO(st.st_mode));
  EXPECT_EQ(ReadBytes(Path("got")).size(), 4096u);
}

}  // namespace
