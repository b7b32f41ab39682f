// Every command alike: an output that collides with an input or another
// output is refused before anything is written, and each kind of fault ends
// in its one exit status, whatever the command.
#include <dirent.h>
#include <unistd.h>

#include <map>

#include "cli/output.h"
#include "platform/files.h"
#include "test_util.h"

namespace {

class Commands : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    ASSERT_TRUE(WriteBytes(Path("in.wav"), Mono16(std::vector<int>(200, 3000), 27200)));
    Bytes image(4096, 0x80);
    for (size_t i = 1; i < 300; i++) image[i] = (uint8_t)(i % 2 ? 0xC0 : 0x40);
    ASSERT_TRUE(WriteBytes(Path("img.bin"), image));
    for (const char* in : {"in.wav", "img.bin"}) {
      ASSERT_EQ(link(Path(in).c_str(), Path(std::string("hard-") + in).c_str()), 0);
      ASSERT_EQ(symlink(in, Path(std::string("soft-") + in).c_str()), 0);
    }
  }
  // Every file of the folder and its bytes.
  std::map<std::string, Bytes> Folder() {
    std::map<std::string, Bytes> files;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
      if (e->d_name[0] != '.') files[e->d_name] = ReadBytes(Path(e->d_name));
    if (d) closedir(d);
    return files;
  }
  // $Q stands for the converter.
  RunResult Shell(const std::string& line) { return RunProgram({"sh", "-c", "Q=" QUORIX_CLI "; " + line}, dir); }
};

TEST_F(Commands, ACollidingOutputIsRefusedAndNothingChanges) {
  // % is the input's own name, spelt each way below.
  const std::vector<std::vector<std::string>> runs = {
      {"wav2dmx", "in.wav", "%"},
      {"dmx2wav", "img.bin", "%"},
      {"prepare", "in.wav", "%"},
      {"prepare", "--preview", "%", "in.wav", "new.bin"},
      {"listen", "img.bin", "%"},
      {"listen", "--plot", "%", "img.bin", "new.wav"},
      {"info", "--plot", "%", "img.bin"},
  };
  const std::vector<std::string> spellings = {"{}", "./{}", "hard-{}", "soft-{}", "../{dir}/{}"};
  const std::map<std::string, Bytes> before = Folder();
  auto spell = [&](std::string form, const std::string& name) {
    size_t at;
    while ((at = form.find("{dir}")) != std::string::npos) form.replace(at, 5, dir.substr(dir.rfind('/') + 1));
    return form.replace(form.find("{}"), 2, name);
  };
  for (const auto& run : runs) {
    const std::string input = run[0] == "wav2dmx" || run[0] == "prepare" ? "in.wav" : "img.bin";
    for (const std::string& form : spellings) {
      std::vector<std::string> args = run;
      for (std::string& a : args)
        if (a == "%") a = spell(form, input);
      SCOPED_TRACE(args[0] + " " + args[1] + " ... " + args.back());
      RunResult r = Quorix(args);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(SplitLines(r.err).size(), 1u) << r.err;
    }
  }
  // Two outputs of one run that are one file, and a second output that
  // cannot be written: the first is not written either.
  const struct {
    std::vector<std::string> args;
    const char* reason;
  } sets[] = {
      {{"prepare", "--machine", "dmx-cymbal", "--preview", "chip-2.bin", "in.wav", "chip.bin"}, "are the same file"},
      {{"prepare", "--preview", "./new.bin", "in.wav", "new.bin"}, "are the same file"},
      {{"listen", "--plot", "same", "img.bin", "./same"}, "are the same file"},
      {{"listen", "--plot", "none/p.png", "img.bin", "new.wav"}, "none/p.png"},
      {{"prepare", "--preview", "none/p.wav", "in.wav", "new.bin"}, "none/p.wav"},
  };
  for (const auto& set : sets) {
    SCOPED_TRACE(set.args.back());
    RunResult r = Quorix(set.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(set.reason), std::string::npos) << r.err;
  }
  EXPECT_EQ(Folder(), before);
}

TEST_F(Commands, EveryFaultEndsInItsExitStatus) {
  ASSERT_TRUE(WriteBytes(Path("text.wav"), Text("hello drums\n")));
  ASSERT_TRUE(WriteBytes(Path("damaged.wav"), Text("RIFF\x10\0\0\0WAVEjunkjunk")));
  const struct {
    const char* fault;
    std::vector<std::string> runs;  // one shell line each
    int status;
  } faults[] = {
      {"the input is missing",
       {"$Q wav2dmx gone.wav o.bin", "$Q dmx2wav gone.bin o.wav", "$Q prepare gone.wav o.bin",
        "$Q listen gone.bin o.wav", "$Q info gone.bin"},
       1},
      {"the input is no usable sound or image",
       {"$Q wav2dmx text.wav o.bin", "$Q prepare text.wav o.bin", "$Q listen in.wav o.wav",
        "$Q info damaged.wav"},
       2},
      {"the output cannot be written",
       {"$Q wav2dmx in.wav none/o.bin", "$Q dmx2wav img.bin none/o.wav", "$Q prepare in.wav none/o.bin",
        "$Q listen img.bin none/o.wav", "$Q info --plot none/o.png img.bin"},
       1},
      {"the report cannot be written",
       {"$Q wav2dmx in.wav o.bin >/dev/full", "$Q dmx2wav img.bin o.wav >/dev/full",
        "$Q prepare in.wav o.bin >/dev/full", "$Q listen img.bin o.wav >/dev/full", "$Q info img.bin >/dev/full",
        "$Q machines >/dev/full", "$Q --help >/dev/full", "$Q prepare --help >/dev/full"},
       1},
      {"of several files, the worst", {"$Q info img.bin gone.bin damaged.wav"}, 1},
      {"usage", {"$Q", "$Q frobnicate", "$Q machines x"}, 64},
      {"an unknown option, the same in every command",
       {"$Q wav2dmx -x in.wav o.bin", "$Q dmx2wav --bogus img.bin o.wav", "$Q prepare -x in.wav o.bin",
        "$Q listen -x img.bin o.wav", "$Q info -x img.bin", "$Q prepare --trim=yes in.wav o.bin",
        "$Q listen img.bin o.wav --rate"},
       64},
      {"a number out of range or no number",
       {"$Q dmx2wav --rate 8000x img.bin o.wav", "$Q prepare --rate=27k in.wav o.bin",
        "$Q prepare --size 4096.5 in.wav o.bin", "$Q listen --rate 999 img.bin o.wav",
        "$Q listen --out-rate 44100.5 img.bin o.wav", "$Q info --plot-size 10x10 img.bin",
        "$Q listen --region 0 img.bin o.wav"},
       64},
      {"one grammar: --name=value, options after names, -- before a name",
       {"$Q dmx2wav --rate=27200 img.bin o.wav", "$Q listen img.bin o.wav --rate=31250",
        "$Q info img.bin --machine=dmx-perc", "$Q prepare in.wav -- -o.bin", "$Q wav2dmx --linear in.wav o.bin"},
       0},
  };
  for (const auto& f : faults)
    for (const std::string& run : f.runs) {
      SCOPED_TRACE(std::string(f.fault) + ": " + run);
      RunResult r = Shell(run);
      EXPECT_EQ(r.status, f.status) << r.out << r.err;
      // The conversions tell in their report, as the desktop program does; the others a line a file.
      bool engine = run.find("wav2dmx") != std::string::npos || run.find("dmx2wav") != std::string::npos;
      if (f.status != 0) {
        EXPECT_FALSE(r.out.empty() && r.err.empty()) << "no reason given";
        if (!engine || f.status == 64) {
          EXPECT_EQ(r.err.rfind("quorix", 0), 0u) << r.err;
        }
      }
    }
  // A command of the tools module is known even where the module is not.
  ASSERT_EQ(Shell("mkdir -p alone/bin && cp $Q alone/bin/").status, 0);
  EXPECT_EQ(Shell("alone/bin/quorix frobnicate").status, 64);
  RunResult r = Shell("alone/bin/quorix prepare in.wav o.bin");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("tools module cannot be loaded"), std::string::npos) << r.err;
}

// The writer's promise: a rename that fails part-way through a set puts
// back every file already replaced, whether the old files were kept by a
// second link or (a file system without links) by a rename.
int renames_left;
bool RenameUntilTheSecond(const std::string& from, const std::string& to, std::string* error) {
  if (renames_left-- == 0) return *error = "the disk went away", false;
  return put_in_place(from, to, error);
}
bool RenameAside(const std::string& path, std::string* aside, std::string* error) {
  aside->clear();
  if (file_type(path) == FileType::missing) return true;
  *aside = path + ".old";
  return put_in_place(path, *aside, error);
}

TEST_F(Commands, AFailedRenameLeavesEveryOldFile) {
  for (bool links : {true, false}) {
    SCOPED_TRACE(links ? "old files kept by a link" : "old files renamed aside");
    ASSERT_TRUE(WriteBytes(Path("a.bin"), Text("old a")));
    ASSERT_TRUE(WriteBytes(Path("b.bin"), Text("old b")));
    std::map<std::string, Bytes> before = Folder();
    OutputSteps steps = system_output_steps;
    steps.put_in_place = RenameUntilTheSecond;
    if (!links) steps.keep_aside = RenameAside;
    renames_left = 1;
    std::string error;
    EXPECT_FALSE(write_outputs({{Path("a.bin"), Text("new a"), {}}, {Path("new.bin"), Text("new"), {}},
                                {Path("b.bin"), Text("new b"), {}}},
                               &error, steps));
    EXPECT_EQ(error, "the disk went away");
    EXPECT_EQ(Folder(), before);
  }
}

}  // namespace
