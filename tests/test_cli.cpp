// The command-line converter as a process: the report on stdout, the bytes
// it writes, its exit status, its usage errors and the settings it starts
// from.
#include <sys/stat.h>

#include "convert/convert.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const char* const kEnd = "Unexpected end of file.";

Bytes WorkedWav(void) { return Riff(Cat({PcmFmt(1, 16), Chunk("data", Words({0, 8192, -8192, 4096}))})); }
const Bytes kWorkedMuLaw = {0x80, 0xE0, 0x60, 0xD0};
const Bytes kWorkedLinearScaledInverted = {128, 0, 255, 64};

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

class Cli : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(WriteBytes(Path("in.wav"), WorkedWav()));
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {0x80, 0xFF, 0x00}));
  }
  // Runs the converter in the scratch directory, with quorix.ini looked for
  // there unless `env` says otherwise.
  RunResult Run(std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), QUORIX_CLI);
    if (env.empty()) env.push_back("QUORIX_PATH=" + dir);
    return RunProgram(args, dir, env);
  }
  Lines Usage(void) {
    RunResult help = Run({"--help"});
    Lines usage;
    for (const std::string& l : SplitLines(help.out)) {
      if (l.empty()) break;
      usage.push_back(l);
    }
    return usage;
  }
};

Lines WorkedLog(const std::string& in, const std::string& out) {
  return {"Input file: " + in, "Output file: " + out, "Processing chunk... fmt , 16 bytes",
          "16 bit data, Channels = 1", "Processing chunk... data, 8 bytes", "Input file: 4 samples.",
          "Pass 1: Unused audio headroom = 75%", "Output: 4 samples.", "Peak audio value = 8192",
          kEnd, "Finished."};
}

// stdout is the engine's report, line for line, and nothing else.
TEST_F(Cli, ExitStatusAndReportOfEveryEnd) {
  // The converter plays nothing, so it neither says so nor remembers a file:
  // quorix.ini is never written.
  const Bytes ini = Text("LAST_PLAYED_FILE = kick.wav\nEIGHTBIT = 0\n");
  ASSERT_TRUE(WriteBytes(Path("quorix.ini"), ini));
  ASSERT_TRUE(WriteBytes(Path("text.wav"), Text("hello drums\n")));
  const std::string in127 = std::string(123, 'i') + ".wav", out127 = std::string(123, 'o') + ".bin";
  ASSERT_TRUE(WriteBytes(Path(in127), WorkedWav()));
  const struct {
    const char* what;
    std::vector<std::string> args;
    int status;
    Lines out;
  } cases[] = {
      {"image to WAV", {"dmx2wav", "in.bin", "out.wav"}, 0,
       {"Input file: in.bin", "Output file: out.wav", "Input file length = 3",
        "Sample rate = 24000 Hz, duration = 0.000 seconds", "Finished."}},
      {"names of 127 characters", {"wav2dmx", in127, out127}, 0, WorkedLog(in127, out127)},
      {"image missing", {"dmx2wav", "gone.bin", "out.wav"}, 1,
       {"Input file: gone.bin", "Output file: out.wav", "Unable to open input file: gone.bin"}},
      {"output directory missing", {"wav2dmx", "in.wav", "none/out.bin"}, 1,
       {"Input file: in.wav", "Output file: none/out.bin", "Unable to open output file: none/out.bin"}},
      {"not a WAV file", {"wav2dmx", "text.wav", "out.bin"}, 2,
       {"Input file: text.wav", "Output file: out.bin", "Not a RIFF file"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RunResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(SplitLines(r.out), c.out);
    ASSERT_FALSE(r.out.empty());
    EXPECT_EQ(r.out.back(), '\n');
    EXPECT_EQ(r.err, "");
  }
  EXPECT_EQ(ReadBytes(Path("out.wav")).size(), 44u + 6u);
  EXPECT_EQ(ReadBytes(Path(out127)), kWorkedMuLaw);
  EXPECT_EQ(Image(), Bytes());  // a rejected input leaves an empty image behind
  EXPECT_EQ(ReadBytes(Path("quorix.ini")), ini);
  EXPECT_FALSE(FileExists(Path("quorix.ini.new")));
}

TEST_F(Cli, UsageErrors) {
  Lines usage = Usage();
  ASSERT_GE(usage.size(), 3u);
  std::string long_name(128, 'n');  // one more than a name buffer holds
  const std::vector<std::string> cases[] = {
      {},
      {"convert", "in.wav", "new.bin"},
      {"wav2dmx", "--loud", "in.wav", "new.bin"},
      {"dmx2wav", "--invert", "in.bin", "new.wav"},
      {"wav2dmx", "in.wav"},
      {"wav2dmx", "in.wav", "new.bin", "more.bin"},
      {"wav2dmx", long_name, "new.bin"},
      {"dmx2wav", "in.bin", "new.wav", "--rate"},
      {"dmx2wav", "--rate", "8000x", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "nan", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "1e400", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "2147483648", "in.bin", "new.wav"},
  };
  for (const std::vector<std::string>& args : cases) {
    std::string shown;
    for (const std::string& a : args) shown += "[" + a.substr(0, 20) + "] ";
    SCOPED_TRACE(shown);
    RunResult r = Run(args);
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.out, "");
    Lines err = SplitLines(r.err);
    ASSERT_EQ(err.size(), usage.size() + 1);
    EXPECT_EQ(err[0].rfind("quorix: ", 0), 0u) << err[0];
    EXPECT_EQ(Lines(err.begin() + 1, err.end()), usage);
    EXPECT_FALSE(FileExists(Path("new.bin")) || FileExists(Path("new.wav")));
  }
}

TEST_F(Cli, HelpAndVersion) {
  RunResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--rate HZ"), std::string::npos);
  RunResult version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "quorix command-line converter, Version 1.02\n");
}

// Options override quorix.ini for one run; the file is found through
// QUORIX_PATH, else in the current directory.
TEST_F(Cli, OptionsOverTheSettingsFile) {
  const Bytes ini = Text("MU_LAW = 0\nAUTOSCALE = 1\nINVERT = 1\nSAMPLE_RATE = 8000\nEIGHTBIT = 1\n");
  std::string conf = dir + "/conf";
  ASSERT_EQ(mkdir(conf.c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(conf + "/quorix.ini", ini));
  const std::vector<std::string> via_path = {"QUORIX_PATH=" + conf}, no_file = {"QUORIX_PATH=" + dir + "/none"};
  const struct {
    const char* what;
    std::vector<std::string> args, env;
    Bytes image;
  } images[] = {
      {"from QUORIX_PATH", {"wav2dmx", "in.wav", "out.bin"}, via_path, kWorkedLinearScaledInverted},
      {"options win", {"wav2dmx", "--mu-law", "--no-autoscale", "--no-invert", "in.wav", "out.bin"}, via_path,
       kWorkedMuLaw},
      {"the last option wins", {"wav2dmx", "--mu-law", "--linear", "--autoscale", "--invert", "in.wav", "out.bin"},
       no_file, kWorkedLinearScaledInverted},
      {"options after --", {"wav2dmx", "--", "in.wav", "out.bin"}, no_file, kWorkedMuLaw},
      // Without QUORIX_PATH the file comes from the current directory.
      {"from the current directory", {"wav2dmx", "in.wav", "out.bin"}, {"QUORIX_PATH"}, {128, 160, 96, 144}},
  };
  ASSERT_TRUE(WriteBytes(Path("quorix.ini"), Text("MU_LAW = 2\n")));  // read only without QUORIX_PATH
  for (const auto& c : images) {
    SCOPED_TRACE(c.what);
    RunResult r = Run(c.args, c.env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Image(), c.image);
  }

  const struct {
    const char* what;
    std::vector<std::string> args, env;
    uint32_t rate;
    uint16_t bits;
  } wavs[] = {
      {"from QUORIX_PATH", {"dmx2wav", "in.bin", "out.wav"}, via_path, 8000, 8},
      {"options win", {"dmx2wav", "--rate", "11025.5", "--16bit", "in.bin", "out.wav"}, via_path, 11025, 16},
      {"8-bit by option", {"dmx2wav", "--8bit", "--rate", "1e4", "in.bin", "out.wav"}, no_file, 10000, 8},
  };
  for (const auto& c : wavs) {
    SCOPED_TRACE(c.what);
    RunResult r = Run(c.args, c.env);
    EXPECT_EQ(r.status, 0) << r.err;
    Bytes wav = ReadBytes(Path("out.wav"));
    ASSERT_EQ(wav.size(), 44u + 3u * (c.bits / 8));
    EXPECT_EQ(wav[24] | wav[25] << 8 | wav[26] << 16 | (uint32_t)wav[27] << 24, c.rate);
    EXPECT_EQ(wav[34] | wav[35] << 8, c.bits);
  }
  EXPECT_EQ(ReadBytes(conf + "/quorix.ini"), ini);
}

}  // namespace
