// quorix info and listen as processes, on the files owners really point
// them at: folders, pipes, unreadable and huge files, damaged sound files;
// the JSON for scripts; the pictures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "test_util.h"

namespace {

class Info : public ::testing::Test {
 protected:
  void SetUp() override { dir = MakeTempDir(); }
  void TearDown() override { RemoveTree(dir); }
  std::string Path(const std::string& name) const { return dir + "/" + name; }
  RunResult Run(std::vector<std::string> args, std::vector<std::string> prefix = {}) {
    args.insert(args.begin(), QUORIX_CLI);
    args.insert(args.begin(), prefix.begin(), prefix.end());
    return RunProgram(args, dir);
  }
  // A 0.3-second stereo tone at 44.1 kHz, written by sox.
  void Sox(const std::string& name,
           const std::vector<std::string>& effects = {"synth", "0.3", "sine", "300"}) {
    std::vector<std::string> args = {"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", Path(name)};
    args.insert(args.end(), effects.begin(), effects.end());
    RunResult r = RunProgram(args);
    ASSERT_EQ(r.status, 0) << r.err;
  }
  std::string dir;
};

TEST_F(Info, UnusableFilesEachGetAReason) {
  Sox("tone.wav");
  ASSERT_TRUE(WriteBytes(Path("good.bin"), Bytes(4096, 0x80)));
  ASSERT_TRUE(WriteBytes(Path("empty.bin"), {}));
  ASSERT_EQ(mkdir(Path("folder.bin").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(Path("fifo.bin").c_str(), 0644), 0);  // no writer: must not hang
  ASSERT_TRUE(WriteBytes(Path("locked.bin"), Bytes(4096, 0x80)));
  ASSERT_EQ(chmod(Path("locked.bin").c_str(), 0), 0);
  Bytes damaged = ReadBytes(Path("tone.wav"));
  damaged.resize(30);
  ASSERT_TRUE(WriteBytes(Path("damaged.wav"), damaged));
  // 4 GB without writing them: info must refuse it unread.
  int fd = open(Path("huge.bin").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, (off_t)4 << 30), 0);
  close(fd);
  // Root reads anything; run as nobody for the unreadable file to be so.
  std::vector<std::string> as_user;
  if (geteuid() == 0) {
    as_user = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
  }
  const struct {
    const char* file;
    const char* reason;  // in the line on stderr
  } bad[] = {
      {"empty.bin", "empty file"},
      {"folder.bin", "a folder, not a file"},
      {"fifo.bin", "a FIFO (named pipe), not a file"},
      {"locked.bin", "cannot open: Permission denied"},
      {"missing.bin", "cannot open: No such file or directory"},
      {"damaged.wav", "starts like a sound file (RIFF) but libsndfile cannot read it"},
      {"huge.bin", "not an EPROM image: 4294967296 bytes"},
  };
  std::vector<std::string> args = {"info", "good.bin"};
  for (const auto& b : bad) args.push_back(b.file);
  args.push_back("tone.wav");

  RunResult info = Run(args, as_user);
  EXPECT_EQ(info.status, 2);
  Lines err = SplitLines(info.err);
  ASSERT_EQ(err.size(), std::size(bad)) << info.err;
  for (size_t i = 0; i < std::size(bad); i++) {
    std::string head = std::string("quorix info: ") + bad[i].file + ": ";
    EXPECT_EQ(err[i].rfind(head + bad[i].reason, 0), 0u) << err[i];
  }
  // The usable files are still reported, in order.
  EXPECT_EQ(info.out.rfind("good.bin\n  kind: EPROM image\n", 0), 0u) << info.out;
  EXPECT_NE(info.out.find("\n\ntone.wav\n  kind: sound file\n"), std::string::npos) << info.out;

  // listen refuses the same files, and a sound file, and leaves the
  // output it would have replaced as it was.
  ASSERT_TRUE(WriteBytes(Path("old.wav"), {1, 2, 3}));
  ASSERT_EQ(chmod(Path("old.wav").c_str(), 0666), 0);
  for (const auto& b : bad) {
    SCOPED_TRACE(b.file);
    RunResult r = Run({"listen", b.file, "old.wav"}, as_user);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind(std::string("quorix listen: ") + b.file + ": ", 0), 0u) << r.err;
    EXPECT_EQ(ReadBytes(Path("old.wav")), Bytes({1, 2, 3}));
  }
  RunResult sound = Run({"listen", "tone.wav", "old.wav"});
  EXPECT_EQ(sound.status, 2);
  EXPECT_NE(sound.err.find("a sound file (WAV"), std::string::npos) << sound.err;
}

// One object per line, each with the keys the README promises.
TEST_F(Info, JsonForScripts) {
  Sox("tone.wav");
  Bytes image(8192, 0x80);
  image[5000] = 0xC0;
  ASSERT_TRUE(WriteBytes(Path("image.bin"), image));
  RunResult r = Run({"info", "--json", "image.bin", "tone.wav", "gone.bin"});
  EXPECT_EQ(r.status, 2);
  Lines lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  auto img = nlohmann::json::parse(lines[0]), wav = nlohmann::json::parse(lines[1]),
       gone = nlohmann::json::parse(lines[2]);

  EXPECT_EQ(img["file"], "image.bin");
  EXPECT_EQ(img["kind"], "image");
  EXPECT_EQ(img["size"], 8192);
  EXPECT_EQ(img["eprom"], "2764");
  EXPECT_EQ(img["machine"], "dmx");
  EXPECT_EQ(img["code"], "u255");
  EXPECT_EQ(img["rate"], 27200);
  EXPECT_EQ(img["factory"], nullptr);
  for (const char* key : {"crc32", "sha1", "likely_code", "region_size", "warnings"})
    EXPECT_TRUE(img.contains(key)) << key;
  ASSERT_EQ(img["regions"].size(), 2u);
  const auto& second = img["regions"][1];
  EXPECT_EQ(second["offset"], 4096);
  EXPECT_EQ(second["first_byte"], 0x80);
  EXPECT_EQ(second["first_byte_is_zero"], true);
  EXPECT_EQ(second["used"], 5000 - 4096 + 1);
  EXPECT_EQ(second["padding"], 4096 - (5000 - 4096 + 1));
  EXPECT_EQ(second["erased_tail"], 0);
  EXPECT_EQ(img["regions"][0]["peak_dbfs"], nullptr);  // silent
  for (const char* key : {"length", "peak_dbfs", "play_seconds", "sound_seconds"})
    EXPECT_TRUE(second.contains(key)) << key;

  EXPECT_EQ(wav["kind"], "sound");
  EXPECT_EQ(wav["channels"], 2);
  EXPECT_EQ(wav["rate"], 44100);
  EXPECT_EQ(wav["frames"], 13230);
  for (const char* key : {"container", "encoding", "seconds", "peak_dbfs", "dc_offset", "warnings"})
    EXPECT_TRUE(wav.contains(key)) << key;
  ASSERT_FALSE(wav["fits"].empty());
  EXPECT_EQ(wav["fits"][0]["machine"], "dmx");
  EXPECT_NEAR(wav["fits"][0]["kept_fraction"].get<double>(), 4095 / 27200.0 / 0.3, 1e-9);

  EXPECT_EQ(gone["kind"], "unusable");
  EXPECT_TRUE(gone["error"].is_string());
}

uint32_t BigEndian(const Bytes& b, size_t at) {
  return (uint32_t)b[at] << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

TEST_F(Info, PicturesOfTheSizeAsked) {
  Sox("tone.wav");
  ASSERT_TRUE(WriteBytes(Path("image.bin"), Noise(4096, 5)));
  const struct {
    std::vector<std::string> args;
    uint32_t width, height;
  } cases[] = {
      {{"info", "--plot", "out.png", "image.bin"}, 1000, 360},
      {{"info", "--plot-size", "640x240", "--plot", "out.png", "tone.wav"}, 640, 240},
      {{"listen", "--plot", "out.png", "--plot-size", "2000x800", "image.bin", "out.wav"}, 2000, 800},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    unlink(Path("out.png").c_str());
    RunResult r = Run(c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes png = ReadBytes(Path("out.png"));
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), Bytes({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    EXPECT_EQ(std::string(png.begin() + 12, png.begin() + 16), "IHDR");
    EXPECT_EQ(BigEndian(png, 16), c.width);
    EXPECT_EQ(BigEndian(png, 20), c.height);
  }
}

}  // namespace
