// The converter as a process: report, exit status, usage errors, settings file and options.
#include <sys/stat.h>

#include <algorithm>

#include "test_util.h"
#include "version.h"

namespace {

const Bytes kWorkedMuLaw = {0x80, 0xE0, 0x60, 0xD0};
const Bytes kWorkedLinearScaledInverted = {128, 0, 255, 64};

Lines WorkedReport(const std::string& in, const std::string& out, const std::string& last) {
  return {"Input file: " + in, "Output file: " + out, "Processing chunk... fmt , 16 bytes",
          "16 bit data, Channels = 1", "Processing chunk... data, 8 bytes", "Input file: 4 samples.",
          "Pass 1: Unused audio headroom = 75%", "Output: 4 samples.", "Peak audio value = 8192",
          "Unexpected end of file.", last};
}

class Cli : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    ASSERT_TRUE(WriteBytes(Path("in.wav"), WorkedWav()));
    ASSERT_TRUE(WriteBytes(Path("in.bin"), {0x80, 0xFF, 0x00}));
  }
  // quorix.ini looked for in the scratch folder unless `env` says otherwise.
  RunResult Run(const std::vector<std::string>& args, std::vector<std::string> env = {}) {
    if (env.empty()) env.push_back("QUORIX_PATH=" + dir);
    return Quorix(args, env);
  }
};

// stdout is the report alone; nothing is played, so quorix.ini is not written.
TEST_F(Cli, ExitStatusAndOutputOfEveryEnd) {
  const Bytes ini = Text("LAST_PLAYED_FILE = kick.wav\nEIGHTBIT = 0\n");
  ASSERT_TRUE(WriteBytes(Path("quorix.ini"), ini));
  ASSERT_TRUE(WriteBytes(Path("text.wav"), Text("hello drums\n")));
  ASSERT_EQ(mkdir(Path("folder.wav").c_str(), 0700), 0);
  const std::string in127 = std::string(123, 'i') + ".wav", out127 = std::string(123, 'o') + ".bin";
  ASSERT_TRUE(WriteBytes(Path(in127), WorkedWav()));
  Lines usage = SplitLines(Run({"--help"}).out);
  usage.resize(std::find(usage.begin(), usage.end(), "") - usage.begin());
  ASSERT_GE(usage.size(), 3u);
  const int kUsage = 64;
  const struct {
    std::vector<std::string> args;
    int status;
    Lines out = {};
  } cases[] = {
      {{"dmx2wav", "in.bin", "out.wav"}, 0,
       {"Input file: in.bin", "Output file: out.wav", "Input file length = 3",
        "Sample rate = 24000 Hz, duration = 0.000 seconds", "Finished."}},
      {{"wav2dmx", in127, out127}, 0, WorkedReport(in127, out127, "Finished.")},
      {{"dmx2wav", "gone.bin", "new.wav"}, 1,
       {"Input file: gone.bin", "Output file: new.wav", "Unable to open input file: gone.bin"}},
      {{"wav2dmx", "in.wav", "none/new.bin"}, 1,
       {"Input file: in.wav", "Output file: none/new.bin", "Unable to open output file: none/new.bin"}},
      {{"dmx2wav", "in.bin", "none/new.wav"}, 1,
       {"Input file: in.bin", "Output file: none/new.wav", "Unable to open output file: none/new.wav"}},
      // A full disk: with this few bytes the failure shows only at the close.
      {{"dmx2wav", "in.bin", "/dev/full"}, 1,
       {"Input file: in.bin", "Output file: /dev/full", "Input file length = 3",
        "Sample rate = 24000 Hz, duration = 0.000 seconds", "Unable to write the whole output file: /dev/full"}},
      {{"wav2dmx", "in.wav", "/dev/full"}, 1,
       WorkedReport("in.wav", "/dev/full", "Unable to write the whole output file: /dev/full")},
      {{"wav2dmx", "text.wav", "out.bin"}, 2, {"Input file: text.wav", "Output file: out.bin", "Not a RIFF file"}},
      // A folder opens, but every read fails, which the walk takes for the end.
      {{"wav2dmx", "folder.wav", "out.bin"}, 2,
       {"Input file: folder.wav", "Output file: out.bin", "Unexpected end of file.",
        "Unable to read the whole input file: folder.wav"}},
      {{"--version"}, 0, {"quorix command-line converter, Version " QUORIX_VERSION}},
      {{"convert", "in.wav", "new.bin"}, kUsage},
      {{"dmx2wav", "--invert", "in.bin", "new.wav"}, kUsage},
      {{"wav2dmx", "in.wav"}, kUsage},
      {{"wav2dmx", "in.wav", "new.bin", "more.bin"}, kUsage},
      {{"wav2dmx", std::string(128, 'n'), "new.bin"}, kUsage},  // one more than a name holds
      {{"dmx2wav", "--rate", "nan", "in.bin", "new.wav"}, kUsage},
      {{"dmx2wav", "--rate", "2147483648", "in.bin", "new.wav"}, kUsage},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += "[" + a.substr(0, 20) + "] ";
    SCOPED_TRACE(shown);
    RunResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(SplitLines(r.out), c.out);
    if (c.status != kUsage) {
      EXPECT_TRUE(!r.out.empty() && r.out.back() == '\n');
      EXPECT_EQ(r.err, "");
      continue;
    }
    // An unknown command is told with the usage of all; a command's usage error in one line.
    Lines err = SplitLines(r.err);
    bool command_known = c.args[0] != "convert";
    ASSERT_EQ(err.size(), command_known ? 1u : usage.size() + 1) << r.err;
    EXPECT_EQ(err[0].rfind(command_known ? "quorix " + c.args[0] + ": " : "quorix: ", 0), 0u) << err[0];
    if (!command_known) {
      EXPECT_EQ(Lines(err.begin() + 1, err.end()), usage);
    }
    EXPECT_FALSE(Exists(Path("new.bin")) || Exists(Path("new.wav")));
  }
  EXPECT_EQ(ReadBytes(Path(out127)), kWorkedMuLaw);
  EXPECT_EQ(ReadBytes(Path("quorix.ini")), ini);
}

// quorix.ini through QUORIX_PATH, else (unset or empty) in the current folder.
TEST_F(Cli, OptionsOverTheSettingsFile) {
  const Bytes ini = Text("MU_LAW = 0\nAUTOSCALE = 1\nINVERT = 1\nSAMPLE_RATE = 8000\nEIGHTBIT = 1\n");
  const std::string conf = Path("conf");
  ASSERT_EQ(mkdir(conf.c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(conf + "/quorix.ini", ini));
  ASSERT_TRUE(WriteBytes(Path("quorix.ini"), Text("MU_LAW = 2\n")));  // read only without QUORIX_PATH
  const std::vector<std::string> via_path = {"QUORIX_PATH=" + conf}, no_file = {"QUORIX_PATH=" + Path("none")};
  const struct {
    std::vector<std::string> args, env;
    Bytes image;
  } images[] = {
      {{"wav2dmx", "in.wav", "out.bin"}, via_path, kWorkedLinearScaledInverted},
      {{"wav2dmx", "--mu-law", "--no-autoscale", "--no-invert", "in.wav", "out.bin"}, via_path, kWorkedMuLaw},
      {{"wav2dmx", "--mu-law", "--linear", "--autoscale", "--invert", "in.wav", "out.bin"}, no_file,
       kWorkedLinearScaledInverted},
      {{"wav2dmx", "--", "in.wav", "out.bin"}, no_file, kWorkedMuLaw},
      {{"wav2dmx", "in.wav", "out.bin"}, {"QUORIX_PATH"}, {128, 160, 96, 144}},
      {{"wav2dmx", "in.wav", "out.bin"}, {"QUORIX_PATH="}, {128, 160, 96, 144}},
  };
  for (const auto& c : images) {
    SCOPED_TRACE(testing::Message() << c.args.size() << " words, " << c.env[0]);
    RunResult r = Run(c.args, c.env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(Path("out.bin")), c.image);
  }
  const struct {
    std::vector<std::string> args, env;
    uint32_t rate;
    uint16_t bits;
  } wavs[] = {
      {{"dmx2wav", "in.bin", "out.wav"}, via_path, 8000, 8},
      {{"dmx2wav", "--rate", "11025.5", "--16bit", "in.bin", "out.wav"}, via_path, 11025, 16},
      {{"dmx2wav", "--8bit", "--rate", "1e4", "in.bin", "out.wav"}, no_file, 10000, 8},
  };
  for (const auto& c : wavs) {
    SCOPED_TRACE(c.rate);
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
