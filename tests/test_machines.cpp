// The machine table: the old presets' images byte for byte as before the
// table became a file, the layouts against the hardware's own reading,
// the new codes, broken and added machine files, the hi-hat loop.
#include <math.h>

#include <regex>

#include "inspect/checksum.h"
#include "test_util.h"
#include "voice/layout.h"
#include "voice/machine_table.h"
#include "voice/prepare.h"

namespace {

// A decaying tone with noise, 0.25 s at 44.1 kHz: resampled, cut or padded
// by every preset.
Bytes Hit() {
  std::vector<int> s(11025);
  uint32_t x = 1;
  for (size_t i = 0; i < s.size(); i++) {
    x = x * 1664525u + 1013904223u;
    double noise = ((x >> 16) & 0xFFF) / 4096.0 - 0.5;
    s[i] = (int)lround((20000 * sin(2 * M_PI * 180 * (double)i / 44100) + 6000 * noise) * exp(-(double)i / 3000));
  }
  return Mono16(s, 44100);
}

// Catches any change to a preset's clock, region, chip split, first byte,
// padding or code, and to the encoder of the u255 and linear codes. The
// checksums are those of the images the presets gave when they were code.
TEST(MachinePresets, ImagesAreByteForByteThoseOfTheCodedPresets) {
  const struct {
    const char* machine;
    uint32_t region, chip;  // --size, --chips; 0: the machine's
    size_t files;
    const char* sha1;  // of the files joined in order
  } cases[] = {
      {"dmx", 0, 0, 1, "873df0b523a572bc909fe92a32eb069308e235c7"},
      {"dmx-snare", 0, 0, 1, "db7599eb8f0f75b580aa17cfd7031389ae447bb6"},
      {"dmx-perc", 0, 0, 1, "68edf9a82739cd6e7c58d2fed7e3f354277db655"},
      {"dmx-perc2", 0, 0, 1, "f9f4291be3241094e7cfc747703c9bffe114718e"},
      {"dmx-cymbal", 0, 0, 4, "7e92d26413aa88147f312fb201802be962dfeb2d"},
      {"linndrum", 0, 0, 1, "6983297fe0aff6ce19c010275b85fcff1dd99008"},
      {"sds", 0, 0, 1, "3d6b889b095471e2a0ee7f4340062c6cb38a52c7"},
      {"dmx", 0, 2048, 2, "873df0b523a572bc909fe92a32eb069308e235c7"},
      {"dmx", 8192, 0, 1, "4f29af4c243c38c33cb7dc6bd2148eebc1908350"},
      {"dmx-cymbal", 0, 8192, 2, "7e92d26413aa88147f312fb201802be962dfeb2d"},
      {"sds", 0, 16384, 1, "dd199018c48d06b03383d1d79806efa01dce5fc8"},
      {"linndrum", 8192, 4096, 2, "d0c47d2d3a18bccb9613c3431ef4a7150a2ae7a7"},
  };
  const Bytes wav = Hit();
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.machine) + " " + std::to_string(c.region) + " " + std::to_string(c.chip));
    PrepareOptions o;
    o.machine = find_machine(c.machine);
    ASSERT_TRUE(o.machine);
    o.region = c.region;
    o.chip = c.chip;
    std::string error;
    AudioFilePtr file = open_audio_memory(wav.data(), wav.size(), &error);
    ASSERT_TRUE(file) << error;
    VoiceSettings settings;
    ASSERT_EQ(resolve_options(o, &settings), "");
    PreparedVoice v = prepare_voice(*file, o, settings);
    ASSERT_EQ(v.outcome, PrepareOutcome::finished) << v.error;
    Bytes all;
    for (const auto& f : v.files) all.insert(all.end(), f.begin(), f.end());
    EXPECT_EQ(v.files.size(), c.files);
    EXPECT_EQ(checksum(all.data(), all.size()).sha1, c.sha1);
  }
}

}  // namespace

namespace {

// The hardware's reading of a ROM, from the facts alone: a counter that
// starts at `first` and moves `stride` bytes per sample, and the address
// the DAC holds while idle. Through an adapter, the ROM address a is on
// the EPROM's address j when bit k of j carries bit wiring[k] of a.
struct Reading {
  const char* machine;
  const char* sound;
  uint32_t first, stride, played;
  int64_t idle;  // -1: none
  const char* pinout;
};

uint32_t EpromAddress(uint32_t a, const char* pinout) {
  if (!pinout) return a;
  if (strcmp(pinout, "drumtraks-27256") == 0) return 3 * 8192 + a;  // A13, A14 held high
  static const int wiring[15] = {0, 1, 10, 4, 11, 9, 6, 14, 7, 8, 3, 5, 13, 2, 12};
  uint32_t j = 0;
  for (int k = 0; k < 15; k++)
    if (a >> wiring[k] & 1) j |= 1u << k;
  return j;
}

// Catches a wrong offset, stride, idle byte or played count in the table
// or the layout, a pair's sounds swapped, an adapter's map read backwards,
// a Drumtraks copy the socket does not read, and a byte outside the place
// changed when a sound goes into a dump.
TEST(MachineLayouts, WhatTheCounterReadsIsWhatWasPlaced) {
  const Reading cases[] = {
      {"dmx", "voice", 1, 1, 4095, 0, nullptr},
      {"tr707", "bd1", 0x0000, 2, 4095, 0x1FFE, nullptr},
      {"tr707", "bd2", 0x0001, 2, 4095, 0x1FFF, "tr707-27c256"},
      {"tr707", "lowtom", 0x4000, 1, 8191, 0x5FFF, "tr707-27c256"},
      {"tr707", "tamb", 0x6001, 2, 4095, 0x7FFF, nullptr},
      {"tr707", "crash", 1, 1, 32767, 0, nullptr},
      {"tr727", "cowbell", 0x4001, 2, 4095, 0x5FFF, nullptr},
      {"drumtraks", "tamb", 0x1001, 1, 4095, 0x1000, "drumtraks-27256"},
      {"dx", "rim", 0x1001, 1, 4095, 0x1000, nullptr},
      {"lm1", "hihat", 0, 1, 4096, -1, nullptr},
  };
  const MachineTable& table = builtin_machines();
  for (const Reading& c : cases) {
    SCOPED_TRACE(std::string(c.machine) + " " + c.sound);
    const MachineDef* m = find_machine_def(table, c.machine);
    ASSERT_TRUE(m);
    const SoundDef* s = find_sound(*m, c.sound);
    ASSERT_TRUE(s);
    const RomDef* r = find_rom(*m, s->rom);
    ASSERT_EQ(played_bytes(*s), c.played);
    std::vector<uint8_t> played(c.played), dump = Noise(r->bytes, 7), rom = dump;
    for (size_t i = 0; i < played.size(); i++) played[i] = (uint8_t)(i * 7 + i / 256);
    place_sound(&rom, *s, played);
    std::vector<uint8_t> chip = rom;
    if (c.pinout) chip = to_eprom(rom, *find_pinout(table, c.pinout));
    std::vector<bool> read(r->bytes, false);
    for (uint32_t i = 0; i < c.played; i++) {
      const uint32_t a = c.first + i * c.stride;
      ASSERT_EQ(chip[EpromAddress(a, c.pinout)], played[i]) << i;
      read[a] = true;
    }
    if (c.idle >= 0) {
      EXPECT_EQ(chip[EpromAddress((uint32_t)c.idle, c.pinout)], s->idle_code);
      EXPECT_EQ(code_output(s->idle_code, s->code), 0.0);
      read[(size_t)c.idle] = true;
    }
    for (uint32_t a = 0; a < r->bytes; a++)
      if (!read[a]) {
        ASSERT_EQ(rom[a], dump[a]) << a;
      }
    EXPECT_EQ(extract_sound(c.pinout ? from_eprom(chip, *find_pinout(table, c.pinout)) : chip, *s), played);
  }
}

// Catches a code's level formula or its nearest-level choice going wrong,
// and a 6-bit code with its unwired low bits set.
TEST(MachineCodes, LinearCodesDecodeAsTheirDacsAndEncodeToTheNearestLevel) {
  const struct {
    SampleCode code;
    double (*level)(int code);  // in DAC steps
    double steps;               // steps in full scale
  } cases[] = {
      {SampleCode::linear_inverted, [](int c) { return 128.0 - c; }, 128},
      {SampleCode::signed_linear, [](int c) { return (double)(c < 128 ? c : c - 256); }, 128},
      {SampleCode::linear_top6, [](int c) { return (double)(c / 4 - 32); }, 32},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(code_name(c.code));
    for (int code = 0; code < 256; code++) ASSERT_EQ(code_output((uint8_t)code, c.code), c.level(code) / c.steps);
    EXPECT_EQ(c.level(zero_code(c.code)), 0);
    for (int v = -1100; v <= 1100; v++) {
      const double x = v / 1000.0;
      const uint8_t got = encode_level(x, c.code, Encoder::dac);
      if (c.code == SampleCode::linear_top6) {
        ASSERT_EQ(got & 3, 0) << x;
      }
      double best = 1e9;
      for (int code = 0; code < 256; code++) best = std::min(best, fabs(c.level(code) / c.steps - x));
      ASSERT_NEAR(fabs(code_output(got, c.code) - x), best, 1e-12) << x;
    }
  }
}

std::string Load(const std::string& text, MachineTable* table) { return load_machines(text, "my.toml", table); }

const char* const card =
    "[[machine]]\nname = \"card\"\ncode = \"u255\"\nrate = 32000\n"
    "[[machine.rom]]\nname = \"voice\"\nbytes = 8192\n"
    "[[machine.sound]]\nname = \"a\"\noffset = 0\nlength = 4096\n";

// Each row catches one check of a machine file gone missing: the fault
// reported on its line, and nothing of the file taken.
TEST(MachineFiles, ABrokenFileIsOneLineWithItsLineAndChangesNothing) {
  const struct {
    std::string text;
    const char* error;
  } cases[] = {
      {"[[machine]\nname = 1", "my.toml:1: "},
      {"[[machine]]\nname = \"card\"\n[[machine.rom]]\nname = \"voice\"\nbytes = 8192\n"
       "[[machine.sound]]\nname = \"a\"\noffset = 0\nlength = 4096\ncode = \"u255\"\n",
       "my.toml:6: sound 'a' has no rate, nor has its machine"},
      {std::string(card) + "code = \"mulaw\"\n", "my.toml:12: unknown code 'mulaw'"},
      {std::string(card) + "[[machine.sound]]\nname = \"b\"\noffset = 4096\nlength = 4097\n",
       "my.toml:12: sound 'b' ends at byte 8192, outside rom 'voice' of 8192 bytes"},
      {std::string(card) + "[[machine.sound]]\nname = \"b\"\noffset = 4095\nlength = 16\n",
       "my.toml:12: sound 'b' overlaps sound 'a' at byte 4095"},
      {std::string(card) + "[[machine.sound]]\nname = \"a\"\noffset = 4096\nlength = 16\n",
       "my.toml:12: sound 'a' twice in machine 'card'"},
      {std::string(card) + "[[machine.sound]]\nname = \"b\"\noffset = 4096\nlength = 0\n",
       "my.toml:15: sound 'b' has a length of 0"},
      {std::string(card) + "lenght = 16\n", "my.toml:12: a sound has no key 'lenght'"},
  };
  for (const auto& c : cases) {
    MachineTable table = builtin_machines();
    const std::string error = Load(c.text, &table);
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(table.machines.size(), builtin_machines().machines.size());
    EXPECT_FALSE(find_machine_def(table, "card"));
  }
}

// Catches a replaced machine kept twice or losing its place, a source not
// recorded, and views left pointing at the old machine.
TEST(MachineFiles, AUserFileAddsACardAndReplacesABuiltInMachine) {
  MachineTable table = builtin_machines();
  const std::string dmx = std::regex_replace(machine_toml(*find_machine_def(table, "dmx"), table),
                                             std::regex("rate = 27200"), "rate = 33000");
  ASSERT_EQ(Load(std::string(card) + dmx, &table), "");
  EXPECT_EQ(table.machines.size(), builtin_machines().machines.size() + 1);
  EXPECT_EQ(table.machines[0].name, "dmx");
  EXPECT_EQ(table.machines[0].source, "my.toml");
  EXPECT_EQ(table.voices()[0].rate, 33000);
  EXPECT_EQ(find_machine_def(table, "card")->source, "my.toml");
  EXPECT_EQ(find_machine_def(table, "tr707")->source, "built-in");
}

// Catches the wrap of a loop left with a step, or the crossfade taken from
// the wrong side of the recording.
TEST(MachineLayouts, ALoopsEndRunsIntoItsStartWithoutAStep) {
  std::vector<float> s(5000);
  for (size_t i = 0; i < s.size(); i++) s[i] = (float)sin(0.05 * (double)i);
  ASSERT_TRUE(make_loop(&s, 4096, 256));
  ASSERT_EQ(s.size(), 4096u);
  double steepest = 0;
  for (size_t i = 1; i < s.size(); i++) steepest = std::max(steepest, (double)fabsf(s[i] - s[i - 1]));
  EXPECT_LE(fabsf(s[0] - s.back()), steepest);
}

}  // namespace

namespace {

class MachineCli : public ScratchTest {
 protected:
  // The owner's config folder is the scratch folder's, never the machine's.
  RunResult Run(const std::vector<std::string>& args) { return Quorix(args, {"XDG_CONFIG_HOME=" + dir}); }
  // A tone of `hz` for 0.2 s at 44.1 kHz: each sound of a kit its own.
  Bytes Tone(double hz) {
    std::vector<int> s(8820);
    for (size_t i = 0; i < s.size(); i++) s[i] = (int)lround(16000 * sin(2 * M_PI * hz * (double)i / 44100));
    return Mono16(s, 44100);
  }
};

const char* const pairs[] = {"bd1", "bd2", "sd1", "sd2", "rim", "cowbell", "clap", "tamb"};

// Catches listen reading a pair's neighbour (the interleave undone wrong),
// an idle byte left unset, and --into changing a byte outside its sound.
TEST_F(MachineCli, AKitOfEightSoundsPlaysBackAndOneSoundIsReplacedInPlace) {
  std::string kit = "machine = \"tr707\"\n[sounds]\n";
  ASSERT_EQ(mkdir(Path("s").c_str(), 0700), 0);
  for (size_t i = 0; i < 8; i++) {
    ASSERT_TRUE(WriteBytes(Path("s/" + std::string(pairs[i]) + ".wav"), Tone(200.0 + 150.0 * (double)i)));
    kit += std::string(pairs[i]) + " = \"s/" + pairs[i] + ".wav\"\n";
  }
  ASSERT_TRUE(WriteBytes(Path("kit.toml"), Text(kit)));
  RunResult r = Run({"kit", "--preview", "--quiet", "kit.toml"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* sound : pairs) {
    SCOPED_TRACE(sound);
    const std::string rom = std::string(sound)[0] == 'b' || sound[0] == 's' ? "ic34.bin" : "ic35.bin";
    r = Run({"listen", "--machine", "tr707", "--sound", sound, rom, "heard.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Bytes heard = ReadBytes(Path("heard.wav")), made = ReadBytes(Path(std::string(sound) + ".wav"));
    ASSERT_GT(made.size(), 44u + 8000);
    // What listen plays is the preview and 100 ms (2500 samples) of silence.
    EXPECT_EQ(Bytes(heard.begin() + 44, heard.begin() + (ptrdiff_t)made.size()), Bytes(made.begin() + 44, made.end()));
  }
  const Bytes before = ReadBytes(Path("ic34.bin"));
  for (uint32_t idle : {0x1FFE, 0x1FFF, 0x3FFE, 0x3FFF}) EXPECT_EQ(before[idle], 0x80) << idle;
  r = Run({"prepare", "--machine", "tr707", "--sound", "sd2", "--into", "ic34.bin", "--quiet", "s/clap.wav"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Bytes after = ReadBytes(Path("ic34.bin"));
  ASSERT_EQ(after.size(), before.size());
  size_t changed = 0;
  for (size_t a = 0; a < after.size(); a++)
    if (after[a] != before[a]) {
      changed++;
      ASSERT_TRUE(a >= 0x2001 && a < 0x3FFF && a % 2 == 1) << a;
    }
  EXPECT_GT(changed, 1000u);
}

// Each row catches one broken kit or machine file getting past the check
// that names it, or a run writing something before it fails.
TEST_F(MachineCli, BrokenFilesAreOneLineNamingTheLineAndWriteNothing) {
  ASSERT_TRUE(WriteBytes(Path("kick.wav"), Tone(100)));
  const struct {
    std::string kit, machines;
    int status;
    const char* error;
  } cases[] = {
      {"machine = \"tr707\"\n[sounds\nbd1 = \"kick.wav\"\n", "", 64, "kit.toml:2: "},
      {"machine = \"tr707\"\n[sounds]\nbd1 = \"kick.wav\"\nbd9 = \"kick.wav\"\n", "", 64,
       "kit.toml:4: machine tr707 has no sound 'bd9'"},
      {"machine = \"tr707\"\n[sounds]\nbd1 = \"kick.wav\"\nsd1 = \"gone.wav\"\n", "", 1,
       "kit.toml:4: sound 'sd1': no such file"},
      {"machine = \"card\"\n[sounds]\nvoice = \"kick.wav\"\n",
       "[[machine]]\nname = \"card\"\ncode = \"u255\"\n[[machine.rom]]\nname = \"voice\"\nbytes = 4096\n"
       "[[machine.sound]]\nname = \"voice\"\noffset = 0\nlength = 4096\n",
       64, "mine.toml:7: sound 'voice' has no rate"},
      {"machine = \"card\"\n[sounds]\nvoice = \"kick.wav\"\n",
       "[[machine]]\nname = \"card\"\ncode = \"u255\"\nrate = 30000\n[[machine.rom]]\nname = \"voice\"\nbytes = 4096\n"
       "[[machine.sound]]\nname = \"voice\"\noffset = 2048\nlength = 4096\n",
       64, "mine.toml:8: sound 'voice' ends at byte 6143, outside rom 'voice'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kit + c.machines);
    ASSERT_TRUE(WriteBytes(Path("kit.toml"), Text(c.kit)));
    ASSERT_TRUE(WriteBytes(Path("mine.toml"), Text(c.machines)));
    RunResult r = Run({"kit", "--machines", "mine.toml", "kit.toml"});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err.rfind(std::string("quorix kit: ") + c.error, 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(Exists(Path("ic34.bin")) || Exists(Path("voice.bin")));
  }
}

// Catches the config folder not read, a machine's source not shown, and
// a factory dump of the table not named by info.
TEST_F(MachineCli, TheConfigFoldersMachinesAreListedWithTheirFileAndTheirDumpsKnown) {
  const Bytes dump = Noise(8192, 3);
  const Checksums sums = checksum(dump.data(), dump.size());
  ASSERT_TRUE(WriteBytes(Path("dump.bin"), dump));
  ASSERT_EQ(mkdir(Path("quorix").c_str(), 0700), 0);
  ASSERT_TRUE(WriteBytes(Path("quorix/machines.toml"),
                         Text(std::regex_replace(card, std::regex("bytes = 8192\n"),
                                                 "bytes = 8192\nfactory = [{ file = \"stock.u7\", crc32 = \"" +
                                                     crc32_hex(sums.crc32) + "\", sha1 = \"" + sums.sha1 + "\" }]\n"))));
  RunResult r = Run({"machines"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\ncard "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("card is from " + Path("quorix/machines.toml")), std::string::npos) << r.out;
  r = Run({"info", "dump.bin"});
  EXPECT_NE(r.out.find("factory dump: stock.u7, rom voice of card; read it with --machine card"), std::string::npos)
      << r.out << r.err;
  r = Run({"info", "--machine", "card", "--sound", "a", "dump.bin"});
  EXPECT_NE(r.out.find("factory: stock.u7"), std::string::npos) << r.out << r.err;
  r = Run({"info", "--json", "--machine", "card", "--sound", "a", "dump.bin"});
  EXPECT_NE(r.out.find("\"factory\":{\"file\":\"stock.u7\""), std::string::npos) << r.out << r.err;
}

}  // namespace
