// quorix info and listen on unusable files, the JSON for scripts, the pictures.
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cairo.h>

#include "test_util.h"

namespace {

// tone.wav: 0.3 s of a stereo tone at 44.1 kHz, written by sox.
class Info : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    RunResult sox = RunProgram({"sox", "-n", "-r", "44100", "-c", "2", "-b", "16", Path("tone.wav"), "synth", "0.3",
                                "sine", "300"});
    ASSERT_EQ(sox.status, 0) << sox.err;
  }
};

TEST_F(Info, UnusableFilesEachGetAReason) {
  ASSERT_TRUE(WriteBytes(Path("good.bin"), Bytes(4096, 0x80)));
  ASSERT_TRUE(WriteBytes(Path("empty.bin"), {}));
  ASSERT_EQ(mkdir(Path("folder.bin").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(Path("fifo.bin").c_str(), 0644), 0);  // no writer: must not hang
  ASSERT_TRUE(WriteBytes(Path("locked.bin"), Bytes(4096, 0x80)));
  ASSERT_EQ(chmod(Path("locked.bin").c_str(), 0), 0);
  Bytes tone = ReadBytes(Path("tone.wav"));
  ASSERT_TRUE(WriteBytes(Path("damaged.wav"), Bytes(tone.begin(), tone.begin() + 30)));
  ASSERT_TRUE(WriteBytes(Path("huge.bin"), {}));
  ASSERT_EQ(truncate(Path("huge.bin").c_str(), (off_t)4 << 30), 0);  // 4 GB, never written: refused unread
  // Root reads anything: drop the capabilities that override file modes
  // (another user could not reach a checkout in a private folder).
  Lines as_user = {QUORIX_CLI};
  if (geteuid() == 0)
    as_user.insert(as_user.begin(), {"setpriv", "--bounding-set=-dac_override,-dac_read_search",
                                     "--inh-caps=-dac_override,-dac_read_search"});
  const struct {
    const char* file;
    const char* reason;  // in the line on stderr
    int status;          // of listen: 1 not read at all, 2 read but not usable
  } bad[] = {
      {"empty.bin", "empty file", 2},
      {"folder.bin", "a folder, not a file", 1},
      {"fifo.bin", "a FIFO (named pipe), not a file", 1},
      {"locked.bin", "cannot open: Permission denied", 1},
      {"missing.bin", "cannot open: No such file or directory", 1},
      {"damaged.wav", "starts like a sound file (RIFF) but libsndfile cannot read it", 2},
      {"huge.bin", "not an EPROM image: 4294967296 bytes", 2},
  };
  Lines args = as_user;
  args.insert(args.end(), {"info", "good.bin"});
  for (const auto& b : bad) args.push_back(b.file);
  args.push_back("tone.wav");
  RunResult info = RunProgram(args, dir);
  EXPECT_EQ(info.status, 1) << "the worst of the files";
  Lines err = SplitLines(info.err);
  ASSERT_EQ(err.size(), std::size(bad)) << info.err;
  for (size_t i = 0; i < std::size(bad); i++)
    EXPECT_EQ(err[i].rfind(std::string("quorix info: ") + bad[i].file + ": " + bad[i].reason, 0), 0u) << err[i];
  // The usable files are still reported, in order.
  EXPECT_EQ(info.out.rfind("good.bin\n  kind: EPROM image\n", 0), 0u) << info.out;
  EXPECT_NE(info.out.find("\n\ntone.wav\n  kind: sound file\n"), std::string::npos) << info.out;

  // listen refuses them and a sound file, leaving the output as it was.
  ASSERT_TRUE(WriteBytes(Path("old.wav"), {1, 2, 3}));
  for (const auto& b : bad) {
    Lines listen = as_user;
    listen.insert(listen.end(), {"listen", b.file, "old.wav"});
    RunResult r = RunProgram(listen, dir);
    EXPECT_EQ(r.status, b.status) << b.file;
    EXPECT_EQ(r.err.rfind(std::string("quorix listen: ") + b.file + ": ", 0), 0u) << r.err;
  }
  RunResult sound = Quorix({"listen", "tone.wav", "old.wav"});
  EXPECT_EQ(sound.status, 2);
  EXPECT_NE(sound.err.find("a sound file (WAV"), std::string::npos) << sound.err;
  EXPECT_EQ(ReadBytes(Path("old.wav")), Bytes({1, 2, 3}));
}

// One object per line, each with the keys the README promises.
TEST_F(Info, JsonForScripts) {
  Bytes image(8192, 0x80);
  image[5000] = 0xC0;
  ASSERT_TRUE(WriteBytes(Path("image.bin"), image));
  RunResult r = Quorix({"info", "--json", "image.bin", "tone.wav", "gone.bin"});
  EXPECT_EQ(r.status, 1);
  Lines lines = SplitLines(r.out);
  ASSERT_EQ(lines.size(), 3u) << r.out;
  auto img = nlohmann::json::parse(lines[0]), wav = nlohmann::json::parse(lines[1]),
       gone = nlohmann::json::parse(lines[2]);
  auto expect = [](const nlohmann::json& j, const nlohmann::json& want, const Lines& present) {
    for (const auto& item : want.items()) EXPECT_EQ(j.value(item.key(), nlohmann::json("missing")), item.value()) << item.key();
    for (const std::string& key : present) EXPECT_TRUE(j.contains(key)) << key;
  };
  expect(img,
         {{"file", "image.bin"}, {"kind", "image"}, {"size", 8192}, {"eprom", "2764"}, {"machine", "dmx"},
          {"code", "u255"}, {"rate", 27200}, {"factory", nullptr}},
         {"crc32", "sha1", "factory_chips", "likely_code", "region_size", "warnings"});
  ASSERT_EQ(img["regions"].size(), 2u);
  expect(img["regions"][0], {{"peak_dbfs", nullptr}}, {});  // silent
  expect(img["regions"][1],
         {{"offset", 4096}, {"first_byte", 0x80}, {"first_byte_is_zero", true}, {"used", 5000 - 4096 + 1},
          {"padding", 4096 - (5000 - 4096 + 1)}, {"erased_tail", 0}},
         {"length", "peak_dbfs", "play_seconds", "sound_seconds"});
  expect(wav, {{"kind", "sound"}, {"channels", 2}, {"rate", 44100}, {"frames", 13230}},
         {"container", "encoding", "seconds", "peak_dbfs", "dc_offset", "warnings"});
  ASSERT_FALSE(wav["fits"].empty());
  EXPECT_EQ(wav["fits"][0]["machine"], "dmx");
  EXPECT_NEAR(wav["fits"][0]["kept_fraction"].get<double>(), 4095 / 27200.0 / 0.3, 1e-9);
  expect(gone, {{"kind", "unusable"}}, {"error"});
}

TEST_F(Info, PicturesOfTheSizeAsked) {
  ASSERT_TRUE(WriteBytes(Path("image.bin"), Noise(4096, 5)));
  const std::string long_name = std::string(200, 'n') + ".bin";
  ASSERT_TRUE(WriteBytes(Path(long_name), Noise(4096, 5)));
  ASSERT_TRUE(WriteBytes(Path("ic34.bin"), Noise(32768, 6)));
  const struct {
    Lines args;
    uint32_t width, height;
  } cases[] = {
      {{"info", "--plot", "out.png", "image.bin"}, 1000, 360},
      {{"info", "--plot-size", "640x240", "--plot", "out.png", "tone.wav"}, 640, 240},
      {{"listen", "--plot", "out.png", "--plot-size", "2000x800", "image.bin", "out.wav"}, 2000, 800},
      {{"info", "--plot-size", "320x200", "--plot", "out.png", long_name}, 320, 200},
      {{"info", "--machine", "tr707", "--plot-size", "800x300", "--plot", "out.png", "ic34.bin"}, 800, 300},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args.back());
    unlink(Path("out.png").c_str());
    RunResult r = Quorix(c.args);
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes png = ReadBytes(Path("out.png"));
    ASSERT_GE(png.size(), 24u);
    Bytes head = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (uint32_t v : {c.width, c.height})
      for (int shift = 24; shift >= 0; shift -= 8) head.push_back((uint8_t)(v >> shift));
    EXPECT_EQ(Bytes(png.begin(), png.begin() + 24), head);
    // The title ends inside the picture, however long the name.
    cairo_surface_t* s = cairo_image_surface_create_from_png(Path("out.png").c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    const uint8_t* pixels = cairo_image_surface_get_data(s);
    for (int y = 0; y < 20; y++)
      EXPECT_EQ(*(const uint32_t*)(pixels + y * cairo_image_surface_get_stride(s) + 4 * (c.width - 2)) & 0xFFFFFF,
                0xFFFFFFu) << "row " << y;
    cairo_surface_destroy(s);
  }
}

}  // namespace
