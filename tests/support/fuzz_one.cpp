// The prepare and info fuzz targets' work over one input, with the
// invariants each checks; the unit tests replay the seeds through it.
#include "tests/support/fuzz_one.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "inspect/inspect.h"
#include "voice/render.h"
#include "inspect/plot.h"
#include "inspect/report.h"
#include "voice/prepare.h"

// Stops at the first invariant that fails, with the outcome reached so far.
#define CHECK(cond, what) do { if (!(cond)) return {outcome, what}; } while (0)

// One of the seven one-voice presets by the low three bits of `flags` (a
// seed's first byte): the whole-ROM machines are prepared by other steps.
static const Machine* one_voice_preset(uint8_t flags) { return &voice_machines()[(flags & 7) % 7]; }

// quorix prepare's work over arbitrary sound files and options, in memory.
//
// Options, from the first five bytes:
//   0: bits 0-2 the machine, 3-4 the code (the machine's, u255, linear,
//      linear-inverted), 5 the curve encoder, 6 --trim, 7 --no-cut
//   1: bit 0 --no-pad, 1 a fixed gain, 2-3 the channel (0 = mixed),
//      4-6 the rate (the machine's or one of seven, the extremes included)
//   2: bits 0-2 the region, 3-5 the chip (the machine's or one of several)
//   3: the fade in ms; 4: the gain in dB, signed
// Options that do not go together stop there, as the command's usage error.
//
// Invariants of a finished image: the files are of the layout's sizes (the
// region, or the chip, or the used bytes with --no-pad); the first byte is
// the machine's; everything after the sound is the zero code; the preview
// is what one trigger plays; a normalized sound reaches full scale and
// clips nothing; a silent one is all zero codes; --no-cut never cuts. An
// input that is refused says why and leaves no image. Crashes, leaks,
// undefined behaviour and runs that do not end are libFuzzer's to catch.
FuzzResult FuzzPrepareOne(const uint8_t* data, size_t size) {
  if (size < 5) return {"short"};
  static const double rates[] = {0, 1000, 200000, 8000, 44100, 27350.5, 96000, 11025};
  static const uint32_t regions[] = {0, 2, 3, 64, 2048, 4096, 8192, 16384};
  static const uint32_t chips[] = {0, 2048, 4096, 8192, 16384, 0, 0, 0};
  PrepareOptions o;
  o.machine = one_voice_preset(data[0]);
  int code = (data[0] >> 3) & 3;
  o.code_given = code != 0;
  o.code = code == 1 ? SampleCode::u255 : code == 2 ? SampleCode::linear : SampleCode::linear_inverted;
  o.encoder = data[0] & 0x20 ? Encoder::curve : Encoder::dac;
  o.trim = data[0] & 0x40;
  o.cut = !(data[0] & 0x80);
  o.pad = !(data[1] & 1);
  o.normalize = !(data[1] & 2);
  o.channel = (data[1] >> 2) & 3;
  o.rate = rates[(data[1] >> 4) & 7];
  o.region = regions[data[2] & 7];
  o.chip = chips[(data[2] >> 3) & 7];
  o.fade_ms = data[3];
  o.gain_db = (int8_t)data[4];
  VoiceSettings s;
  if (!resolve_options(o, &s).empty()) return {"usage"};

  std::string error;
  AudioFilePtr file = open_audio_memory(data + 5, size - 5, &error);
  if (!file) return {"not-sound", error.empty() ? "a file refused without a reason" : nullptr};
  PreparedVoice v = prepare_voice(*file, o, s);

  const char* outcome = v.outcome == PrepareOutcome::finished    ? "finished"
                        : v.outcome == PrepareOutcome::bad_input ? "bad-input"
                                                                 : "failed";
  for (const std::string& line : prepare_report(v, o))
    CHECK(!line.empty() && line.find('\n') == std::string::npos, "a report line empty or broken");
  if (v.outcome != PrepareOutcome::finished) {
    CHECK(!v.error.empty(), "refused without a reason");
    CHECK(v.files.empty(), "an image from a refused input");
    return {outcome};
  }

  const uint32_t room = s.region - 1;
  CHECK(v.kept <= room, "more sound than the region holds");
  CHECK(o.cut || v.cut == 0, "cut with --no-cut");
  CHECK(v.files.size() == s.files, "not one file per chip");
  std::vector<uint8_t> whole;
  for (const auto& f : v.files) {
    CHECK(f.size() == v.files[0].size(), "chip files of different sizes");
    whole.insert(whole.end(), f.begin(), f.end());
  }
  size_t expected = o.pad ? std::max(s.region, s.chip) : 1 + v.kept;
  CHECK(whole.size() == expected, "the image is not of the layout's size");
  uint8_t first = !o.code_given || o.code == o.machine->code ? o.machine->first_byte : 0x80;
  CHECK(whole[0] == first, "the first byte is not the machine's");
  for (size_t i = 1 + v.kept; i < whole.size(); i++)
    CHECK(whole[i] == 0x80, "the padding is not the zero code");
  CHECK(v.preview.size() == (o.pad ? room : v.kept), "the preview is not the region's length");

  double loudest = 0;
  for (size_t i = 1; i <= v.kept; i++) loudest = std::max(loudest, fabs(code_output(whole[i], s.code)));
  CHECK(v.peak != 0 || loudest == 0, "a silent sound with codes that are not zero");
  CHECK(!o.normalize || v.clipped == 0, "a normalized sound clipped");
  CHECK(!o.normalize || v.peak <= 0 || fabs(loudest - code_full_scale(s.code)) <= 1e-9,
        "a normalized sound short of full scale");
  return {outcome};
}

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
FuzzResult FuzzInfoOne(const uint8_t* data, size_t size) {
  if (size < 1) return {"short"};
  const uint8_t flags = *data++;
  size--;
  InspectOptions options;
  const Machine* machine = one_voice_preset(flags);
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
  const char* outcome = r.kind == FileKind::image ? "image" : r.kind == FileKind::sound ? "sound" : "unusable";
  CHECK(r.kind == classify_file(data, size, size).kind, "kind against the rule");
  CHECK(r.kind != FileKind::unusable || !r.error.empty(), "an unusable file without a reason");

  std::string text = report_text(r);
  CHECK(r.kind == FileKind::unusable ? text.empty() : text.rfind("fuzz.bin\n", 0) == 0, "text block");
  nlohmann::json j = nlohmann::json::parse(report_json(r));
  CHECK(j["file"] == "fuzz.bin" && j["size"] == r.size && j["kind"] == outcome, "JSON names the file and its kind");

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
  return {outcome};
}

