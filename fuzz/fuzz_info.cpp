// info's analysis over arbitrary files: the image and the sound-file paths
// (libsndfile reads from memory), the text and JSON reports, the samples
// listen renders, and now and then a small picture. The first byte picks
// the options: bits 0-2 the machine, bits 3-4 the code (the machine's,
// u255, linear, linear-inverted), bit 5 a picture, bit 6 a rate from the
// next four bytes, bit 7 listen's --curve. The rest is the file.
//
// Invariants: a file is exactly one of image, sound or unusable, by the
// rule of inspect.h (an empty, too large or damaged sound file is
// unusable, as listen refuses it); an image's regions cover it, each split
// into sound, padding and erased tail; levels and peaks stay within full
// scale; the JSON parses back with the kind and regions it reported; listen
// renders each region less its first byte plus the gap, within full scale.
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_prepare.h"
#include "inspect/inspect.h"
#include "voice/render.h"
#include "inspect/plot.h"
#include "inspect/report.h"

#define CHECK(cond, what) do { if (!(cond)) return what; } while (0)

const char* FuzzInfoOne(const uint8_t* data, size_t size) {
  if (size < 1) return nullptr;
  const uint8_t flags = *data++;
  size--;
  InspectOptions options;
  const Machine* machine = &voice_machines()[(flags & 7) % voice_machines().size()];
  options.image.machine = options.sound.machine = machine;
  static const SampleCode codes[] = {SampleCode::u255, SampleCode::linear, SampleCode::linear_inverted};
  options.image.code_given = (flags >> 3) & 3;
  if (options.image.code_given) options.image.code = codes[((flags >> 3) & 3) - 1];
  if ((flags & 0x40) && size >= 4) {
    uint32_t v;
    memcpy(&v, data, 4);
    options.image.rate = options.sound.rate = 1000 + v % 199001;
    data += 4;
    size -= 4;
  }

  FileReport r = inspect_memory("fuzz.bin", data, size, options);
  CHECK(r.kind == classify_file(data, size, size).kind, "kind against the rule");
  CHECK(r.kind != FileKind::unusable || !r.error.empty(), "an unusable file without a reason");

  const char* kind = r.kind == FileKind::image ? "image" : r.kind == FileKind::sound ? "sound" : "unusable";
  std::string text = report_text(r);
  CHECK(r.kind == FileKind::unusable ? text.empty() : text.rfind("fuzz.bin\n", 0) == 0, "text block");
  nlohmann::json j = nlohmann::json::parse(report_json(r));
  CHECK(j["file"] == "fuzz.bin" && j["size"] == r.size && j["kind"] == kind, "JSON names the file and its kind");

  if (r.kind == FileKind::sound) {
    const SoundFacts& s = r.sound;
    CHECK(s.frames >= 0 && s.peak >= 0 && isfinite(s.peak) && isfinite(s.dc_offset), "sound facts");
    CHECK(fabs(s.dc_offset) <= s.peak + 1e-6, "DC offset beyond the peak");
    CHECK(s.fits.size() == voice_machines().size(), "a fit per machine");
    CHECK(s.envelope.low.size() <= 2048 && s.envelope.low.size() == s.envelope.high.size(), "envelope");
  } else if (r.kind == FileKind::image) {
    const ImageFacts& f = r.image;
    CHECK(j["regions"].size() == f.regions.size(), "JSON regions");
    uint64_t covered = 0;
    for (const RegionFacts& g : f.regions) {
      CHECK(g.span.offset == covered, "regions leave a gap");
      covered += g.span.length;
      CHECK(g.used >= 1 && g.used + g.padding + g.erased_tail == g.span.length, "region split");
      CHECK(g.peak >= 0 && g.peak <= 1, "peak beyond full scale");
      CHECK(g.play_seconds >= g.sound_seconds && g.sound_seconds >= 0, "times");
    }
    CHECK(covered == size, "regions do not cover the image");

    ListenOptions listen;
    listen.code = f.code;
    listen.curve = (flags & 0x80) != 0;
    listen.rate = f.rate;
    listen.region = machine->region;
    listen.only_region = (int)(r.bytes[0] % (f.regions.size() + 2));
    std::vector<float> samples;
    std::string error;
    bool ok = render_regions(r.bytes.data(), r.bytes.size(), listen, &samples, &error);
    CHECK(ok == ((size_t)listen.only_region <= f.regions.size()), "region choice");
    size_t gap = (size_t)llround(listen.rate * listen_gap_ms / 1000.0), want = 0;
    for (size_t i = 0; i < f.regions.size(); i++)
      if (!listen.only_region || (size_t)listen.only_region == i + 1) want += f.regions[i].span.length - 1 + gap;
    CHECK(!ok || samples.size() == want, "rendered length");
    for (float v : samples) CHECK(v >= -1 && v <= 1, "rendered level");
  }

  if ((flags & 0x20) && r.kind != FileKind::unusable) {
    std::vector<uint8_t> png;
    std::string error;
    PlotSize small = {plot_min_width, plot_min_height};
    bool drawn = r.kind == FileKind::image ? plot_image(r.name, r.bytes.data(), r.image, small, &png, &error)
                                           : plot_sound(r.name, r.sound, *fit_of(r.sound, machine), small, &png, &error);
    CHECK(drawn && png.size() > 8 && memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8) == 0, "picture");
  }
  return nullptr;
}

#ifndef QUORIX_FUZZ_REPLAY
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const char* failed = FuzzInfoOne(data, size)) {
    fprintf(stderr, "fuzz_info: %s\n", failed);
    abort();
  }
  return 0;
}
#endif
