// The command-line converter as a process: the report on stdout, the bytes
// it writes, its exit status, its usage errors and the settings it starts
// from.
#include <sys/stat.h>
#include <unistd.h>

#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"
#include "test_util.h"

namespace {

const char* const kEnd = "Unexpected end of file.";

Bytes WorkedWav(void) { return Riff(Cat({PcmFmt(1, 16), Chunk("data", Words({0, 8192, -8192, 4096}))})); }
const Bytes kWorkedMuLaw = {0x80, 0xE0, 0x60, 0xD0};
const Bytes kWorkedLinearScaledInverted = {128, 0, 255, 64};

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
TEST_F(Cli, Wav2dmxPrintsTheEngineReport) {
  RunResult r = Run({"wav2dmx", "in.wav", "out.bin"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(SplitLines(r.out), WorkedLog("in.wav", "out.bin"));
  EXPECT_EQ(r.out.back(), '\n');
  EXPECT_EQ(Image(), kWorkedMuLaw);

  // The same conversion run in this process reports the same lines.
  ResetEngine(window);
  RunWavToDmx(Path("in.wav"), Path("again.bin"));
  RunResult r2 = Run({"wav2dmx", Path("in.wav"), Path("again.bin")});
  EXPECT_EQ(SplitLines(r2.out), ReportLog());
}

// The converter plays nothing, so it neither says so nor remembers a file:
// quorix.ini is never written.
TEST_F(Cli, Dmx2wavPlaysNothingAndLeavesTheSettingsFile) {
  const char ini[] = "LAST_PLAYED_FILE = kick.wav\nEIGHTBIT = 0\n";
  ASSERT_TRUE(WriteBytes(Path("quorix.ini"), Bytes(ini, ini + sizeof ini - 1)));
  RunResult r = Run({"dmx2wav", "in.bin", "out.wav"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(SplitLines(r.out), (Lines{"Input file: in.bin", "Output file: out.wav", "Input file length = 3",
                                      "Sample rate = 24000 Hz, duration = 0.000 seconds", "Finished."}));
  EXPECT_EQ(ReadBytes(Path("out.wav")).size(), 44u + 6u);
  EXPECT_EQ(ReadBytes(Path("quorix.ini")), Bytes(ini, ini + sizeof ini - 1));
  EXPECT_FALSE(FileExists(Path("quorix.ini.new")));

  std::string bare = dir + "/bare";
  ASSERT_EQ(mkdir(bare.c_str(), 0755), 0);
  r = Run({"dmx2wav", "in.bin", "out.wav"}, {"QUORIX_PATH=" + bare});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(FileExists(bare + "/quorix.ini"));
  EXPECT_FALSE(FileExists(bare + "/quorix.ini.new"));
}

struct Outcome {
  const char* what;
  std::vector<std::string> args;
  int status;
  Lines out;
};

TEST_F(Cli, ExitStatusAndReportOfEveryEnd) {
  ASSERT_TRUE(WriteBytes(Path("text.wav"), {'h', 'e', 'l', 'l', 'o', ' ', 'd', 'r', 'u', 'm', 's', '\n'}));
  ASSERT_TRUE(WriteBytes(Path("cut.wav"), Riff(Cat({PcmFmt(1, 16), RawChunk("data", 100, Words({1, 2}))}))));
  Lines full = WorkedLog("in.wav", "/dev/full");
  full.back() = "Unable to write the whole output file: /dev/full";
  const Outcome cases[] = {
      {"finished", {"wav2dmx", "in.wav", "out.bin"}, 0, WorkedLog("in.wav", "out.bin")},
      {"input missing", {"wav2dmx", "gone.wav", "out.bin"}, 1,
       {"Input file: gone.wav", "Output file: out.bin", "Unable to open input file: gone.wav"}},
      {"image missing", {"dmx2wav", "gone.bin", "out.wav"}, 1,
       {"Input file: gone.bin", "Output file: out.wav", "Unable to open input file: gone.bin"}},
      {"output directory missing", {"wav2dmx", "in.wav", "none/out.bin"}, 1,
       {"Input file: in.wav", "Output file: none/out.bin", "Unable to open output file: none/out.bin"}},
      {"output is the input", {"dmx2wav", "in.bin", "./in.bin"}, 1,
       {"Input file: in.bin", "Output file: ./in.bin", "Output file is the input file: ./in.bin"}},
      {"not a WAV file", {"wav2dmx", "text.wav", "out.bin"}, 2,
       {"Input file: text.wav", "Output file: out.bin", "Not a RIFF file"}},
      {"samples cut short", {"wav2dmx", "cut.wav", "out.bin"}, 2,
       {"Input file: cut.wav", "Output file: out.bin", "Processing chunk... fmt , 16 bytes",
        "16 bit data, Channels = 1", "Processing chunk... data, 100 bytes", "Input file: 50 samples.", kEnd}},
      {"image to a full disk", {"dmx2wav", "in.bin", "/dev/full"}, 1,
       {"Input file: in.bin", "Output file: /dev/full", "Input file length = 3",
        "Sample rate = 24000 Hz, duration = 0.000 seconds", "Unable to write the whole output file: /dev/full"}},
      {"WAV to a full disk", {"wav2dmx", "in.wav", "/dev/full"}, 1, full},
  };
  for (const Outcome& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteBytes(Path("out.bin"), {1, 2, 3}));
    RunResult r = Run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(SplitLines(r.out), c.out);
    EXPECT_EQ(r.err, "");
  }
  // A rejected input leaves an empty image behind; a missing one leaves the
  // old output as it was.
  Run({"wav2dmx", "text.wav", "out.bin"});
  EXPECT_EQ(ReadBytes(Path("out.bin")), Bytes());
  ASSERT_TRUE(WriteBytes(Path("out.bin"), {1, 2, 3}));
  Run({"wav2dmx", "gone.wav", "out.bin"});
  EXPECT_EQ(ReadBytes(Path("out.bin")), (Bytes{1, 2, 3}));
}

TEST_F(Cli, UsageErrors) {
  Lines usage = Usage();
  ASSERT_GE(usage.size(), 3u);
  std::string long_name(128, 'n');  // one more than a name buffer holds
  const std::vector<std::string> cases[] = {
      {},
      {"convert", "in.wav", "new.bin"},
      {"wav2dmx", "--loud", "in.wav", "new.bin"},
      {"wav2dmx", "--rate", "8000", "in.wav", "new.bin"},
      {"dmx2wav", "--invert", "in.bin", "new.wav"},
      {"wav2dmx", "in.wav"},
      {"dmx2wav"},
      {"wav2dmx", "in.wav", "new.bin", "more.bin"},
      {"wav2dmx", long_name, "new.bin"},
      {"dmx2wav", "in.bin", long_name},
      {"dmx2wav", "in.bin", "new.wav", "--rate"},
      {"dmx2wav", "--rate", "abc", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "8000x", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "nan", "in.bin", "new.wav"},
      {"dmx2wav", "--rate", "inf", "in.bin", "new.wav"},
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

// A name of 127 characters fits the engine's buffers whole.
TEST_F(Cli, LongestNamesAreUsedWhole) {
  std::string in(123, 'i'), out(123, 'o');
  in += ".wav";
  out += ".bin";
  ASSERT_TRUE(WriteBytes(Path(in), WorkedWav()));
  RunResult r = Run({"wav2dmx", in, out});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(SplitLines(r.out), WorkedLog(in, out));
  EXPECT_EQ(ReadBytes(Path(out)), kWorkedMuLaw);
}

TEST_F(Cli, HelpAndVersion) {
  RunResult help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("quorix wav2dmx"), std::string::npos);
  EXPECT_NE(help.out.find("--rate HZ"), std::string::npos);
  RunResult version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_NE(version.out.find("Version 1.02"), std::string::npos) << version.out;
}

// Options override quorix.ini for one run; the file is found through
// QUORIX_PATH, else in the current directory.
TEST_F(Cli, OptionsOverTheSettingsFile) {
  const char ini[] = "MU_LAW = 0\nAUTOSCALE = 1\nINVERT = 1\nSAMPLE_RATE = 8000\nEIGHTBIT = 1\n";
  std::string conf = dir + "/conf";
  ASSERT_EQ(mkdir(conf.c_str(), 0755), 0);
  ASSERT_TRUE(WriteBytes(conf + "/quorix.ini", Bytes(ini, ini + sizeof ini - 1)));
  std::vector<std::string> via_path = {"QUORIX_PATH=" + conf};
  std::vector<std::string> empty_path = {"QUORIX_PATH=" + dir};

  struct {
    const char* what;
    std::vector<std::string> args, env;
    Bytes image;
  } images[] = {
      {"from QUORIX_PATH", {"wav2dmx", "in.wav", "out.bin"}, via_path, kWorkedLinearScaledInverted},
      {"options win", {"wav2dmx", "--mu-law", "--no-autoscale", "--no-invert", "in.wav", "out.bin"}, via_path,
       kWorkedMuLaw},
      {"the last option wins", {"wav2dmx", "--mu-law", "--linear", "--autoscale", "--invert", "in.wav", "out.bin"},
       empty_path, kWorkedLinearScaledInverted},
      {"built-in values without a file", {"wav2dmx", "in.wav", "out.bin"}, empty_path, kWorkedMuLaw},
      {"options after --", {"wav2dmx", "--", "in.wav", "out.bin"}, empty_path, kWorkedMuLaw},
  };
  for (const auto& c : images) {
    SCOPED_TRACE(c.what);
    RunResult r = Run(c.args, c.env);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Image(), c.image);
  }

  // Without QUORIX_PATH the file comes from the current directory.
  std::string cwd_ini = Path("quorix.ini");
  ASSERT_TRUE(WriteBytes(cwd_ini, Bytes(ini, ini + sizeof ini - 1)));
  EXPECT_EQ(Run({"wav2dmx", "in.wav", "out.bin"}, {"QUORIX_PATH"}).status, 0);
  EXPECT_EQ(Image(), kWorkedLinearScaledInverted);
  EXPECT_EQ(Run({"wav2dmx", "in.wav", "out.bin"}, {"QUORIX_PATH=" + dir + "/none"}).status, 0);
  EXPECT_EQ(Image(), kWorkedMuLaw);
  unlink(cwd_ini.c_str());

  struct {
    const char* what;
    std::vector<std::string> args, env;
    uint32_t rate;
    uint16_t bits;
    const char* rate_line;
  } wavs[] = {
      {"from QUORIX_PATH", {"dmx2wav", "in.bin", "out.wav"}, via_path, 8000, 8,
       "Sample rate = 8000 Hz, duration = 0.000 seconds"},
      {"options win", {"dmx2wav", "--rate", "11025.5", "--16bit", "in.bin", "out.wav"}, via_path, 11025, 16,
       "Sample rate = 11026 Hz, duration = 0.000 seconds"},
      {"8-bit by option", {"dmx2wav", "--8bit", "--rate", "1e4", "in.bin", "out.wav"}, empty_path, 10000, 8,
       "Sample rate = 10000 Hz, duration = 0.000 seconds"},
      {"a rate below 1 Hz is replaced", {"dmx2wav", "--rate", "0.5", "in.bin", "out.wav"}, empty_path, 24000, 16,
       "Sample rate = 24000 Hz, duration = 0.000 seconds"},
  };
  for (const auto& c : wavs) {
    SCOPED_TRACE(c.what);
    RunResult r = Run(c.args, c.env);
    EXPECT_EQ(r.status, 0) << r.err;
    Lines out = SplitLines(r.out);
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[3], c.rate_line);
    Bytes wav = ReadBytes(Path("out.wav"));
    ASSERT_EQ(wav.size(), 44u + 3u * (c.bits / 8));
    EXPECT_EQ(wav[24] | wav[25] << 8 | wav[26] << 16 | (uint32_t)wav[27] << 24, c.rate);
    EXPECT_EQ(wav[34] | wav[35] << 8, c.bits);
  }
  EXPECT_EQ(ReadBytes(conf + "/quorix.ini"), Bytes(ini, ini + sizeof ini - 1));
}

}  // namespace
