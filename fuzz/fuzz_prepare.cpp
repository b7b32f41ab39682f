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
#include "fuzz/fuzz_prepare.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

#include "voice/prepare.h"

const char* FuzzPrepareOne(const uint8_t* data, size_t size) {
  if (size < 5) return nullptr;
  static const double rates[] = {0, 1000, 200000, 8000, 44100, 27350.5, 96000, 11025};
  static const uint32_t regions[] = {0, 2, 3, 64, 2048, 4096, 8192, 16384};
  static const uint32_t chips[] = {0, 2048, 4096, 8192, 16384, 0, 0, 0};
  PrepareOptions o;
  o.machine = &voice_machines()[(data[0] & 7) % voice_machines().size()];
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
  if (!resolve_options(o, &s).empty()) return nullptr;

  std::string error;
  AudioFilePtr file = open_audio_memory(data + 5, size - 5, &error);
  if (!file) return error.empty() ? "a file refused without a reason" : nullptr;
  PreparedVoice v = prepare_voice(*file, o, s);

  for (const std::string& line : prepare_report(v, o))
    if (line.empty() || line.find('\n') != std::string::npos) return "a report line empty or broken";
  if (v.outcome != PrepareOutcome::finished)
    return v.error.empty() ? "refused without a reason" : !v.files.empty() ? "an image from a refused input" : nullptr;

  const uint32_t room = s.region - 1;
  if (v.kept > room) return "more sound than the region holds";
  if (!o.cut && v.cut != 0) return "cut with --no-cut";
  if (v.files.size() != s.files) return "not one file per chip";
  std::vector<uint8_t> whole;
  for (const auto& f : v.files) {
    if (f.size() != v.files[0].size()) return "chip files of different sizes";
    whole.insert(whole.end(), f.begin(), f.end());
  }
  size_t expected = o.pad ? std::max(s.region, s.chip) : 1 + v.kept;
  if (whole.size() != expected) return "the image is not of the layout's size";
  uint8_t first = !o.code_given || o.code == o.machine->code ? o.machine->first_byte : 0x80;
  if (whole[0] != first) return "the first byte is not the machine's";
  for (size_t i = 1 + v.kept; i < whole.size(); i++)
    if (whole[i] != 0x80) return "the padding is not the zero code";
  if (v.preview.size() != (o.pad ? room : v.kept)) return "the preview is not the region's length";

  double loudest = 0;
  for (size_t i = 1; i <= v.kept; i++) loudest = std::max(loudest, fabs(code_output(whole[i], s.code)));
  if (v.peak == 0 && loudest != 0) return "a silent sound with codes that are not zero";
  if (o.normalize && v.clipped != 0) return "a normalized sound clipped";
  if (o.normalize && v.peak > 0 && fabs(loudest - code_full_scale(s.code)) > 1e-9)
    return "a normalized sound short of full scale";
  return nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (const char* failed = FuzzPrepareOne(data, size)) {
    fprintf(stderr, "fuzz_prepare: %s\n", failed);
    abort();
  }
  return 0;
}
