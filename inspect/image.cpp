#include "inspect/image.h"

#include <math.h>

#include "text/format.h"
#include "voice/dac.h"

const char* likely_code_name(LikelyCode code) {
  switch (code) {
    case LikelyCode::u255:
      return "u255";
    case LikelyCode::linear:
      return "linear";
    case LikelyCode::erased:
      return "erased";
    case LikelyCode::silent:
      return "silent";
    case LikelyCode::not_audio:
      return "not-audio";
  }
  return "?";
}

// Runs of 0xFF this long are taken for erased cells, and runs of 0x80 for
// padding, rather than for a waveform held at one level: both are left
// out of the statistics.
static const size_t long_run = 8;

// How randomly the samples move, read through `levels`: the energy of the
// differences of neighbours against twice the signal's energy. Unrelated
// samples (noise) give 1; a sampled sound gives less, because a rate well
// above the sound's content keeps neighbours close, or more, when it is
// mostly high hiss (a hi-hat). -1 when the reading has no energy.
static double roughness(const uint8_t* data, const std::vector<bool>& skip, const double levels[256]) {
  double sum = 0, sum2 = 0, diff2 = 0;
  size_t n = 0;
  for (size_t i = 0; i < skip.size(); i++) {
    if (skip[i]) continue;
    double x = levels[data[i]];
    sum += x;
    sum2 += x * x;
    n++;
    if (i > 0 && !skip[i - 1]) {
      double d = x - levels[data[i - 1]];
      diff2 += d * d;
    }
  }
  double energy = sum2 - sum * sum / (double)n;
  if (!(energy > 1e-12 * (double)n)) return -1;
  return diff2 / (2 * energy);
}

// How lopsided the levels are about zero when read with a code whose
// negative of code c is mirror[c] (-1: none): the share of the samples that
// find no partner of the opposite sign. Sound swings as far down as up, so
// with the right code its levels pair off; read with the wrong one, the
// quiet samples of one sign land at full scale and stay unpaired.
static double imbalance(const size_t histogram[256], size_t n, const int mirror[256]) {
  size_t unpaired = 0;
  for (int c = 0; c < 256; c++) {
    int m = mirror[c];
    if (m < 0)
      unpaired += histogram[c];
    else if (m > c)
      unpaired += histogram[c] > histogram[m] ? histogram[c] - histogram[m] : histogram[m] - histogram[c];
  }
  return (double)unpaired / (double)n;
}

CodeGuess guess_code(const uint8_t* data, size_t size) {
  CodeGuess g;
  std::vector<bool> skip(size, false);
  size_t erased = 0, padding = 0;
  for (size_t i = 0; i < size;) {
    size_t j = i + 1;
    while (j < size && data[j] == data[i]) j++;
    bool whole = j - i == size;
    if ((data[i] == 0xFF || data[i] == 0x80) && (j - i >= long_run || whole)) {
      for (size_t k = i; k < j; k++) skip[k] = true;
      (data[i] == 0xFF ? erased : padding) += j - i;
    }
    i = j;
  }
  size_t kept = size - erased - padding;
  if (erased > 0 && (kept == 0 || erased * 10 >= size * 9)) {
    g.code = LikelyCode::erased;
    g.reason = erased == size
                   ? "every byte is 0xFF, as an erased EPROM reads"
                   : strprintf("%zu of %zu bytes are runs of 0xFF, as an erased EPROM reads", erased, size);
    return g;
  }
  size_t histogram[256] = {0};
  for (size_t i = 0; i < size; i++)
    if (!skip[i]) histogram[data[i]]++;
  int values = 0, value = 0x80;
  for (int c = 0; c < 256; c++)
    if (histogram[c]) values++, value = c;
  if (values <= 1) {
    g.code = LikelyCode::silent;
    g.reason = strprintf("every byte%s is 0x%02X: no waveform in either code",
                         erased ? " that is not erased" : "", kept ? value : 0x80);
    return g;
  }
  if (kept < 16) {
    g.code = LikelyCode::not_audio;
    g.reason = strprintf("%zu bytes of sound are too few to tell a code", kept);
    return g;
  }
  double u255[256], linear[256];
  int u255_mirror[256], linear_mirror[256];
  for (int c = 0; c < 256; c++) {
    u255[c] = code_output((uint8_t)c, SampleCode::u255);
    linear[c] = code_output((uint8_t)c, SampleCode::linear);
    u255_mirror[c] = c ^ 0x80;
    linear_mirror[c] = c == 0 ? -1 : 256 - c;  // -128 has no +128
  }
  double ru = roughness(data, skip, u255), rl = roughness(data, skip, linear);
  if (ru < 0) {
    // Only 0x00 and 0x80: both are zero on the AM6070, while a linear DAC
    // would swing between its ends.
    g.code = LikelyCode::silent;
    g.reason = "only the codes 0x00 and 0x80, both silence in u255";
    return g;
  }
  double iu = imbalance(histogram, kept, u255_mirror), il = imbalance(histogram, kept, linear_mirror);
  double lo = iu < il ? iu : il, hi = iu < il ? il : iu;
  bool balance_tells = hi >= 1.5 * lo + 0.02;
  // Noise is rough (about 1) and balanced in both readings; sound is
  // either smooth, or rough in a way that differs between them, or
  // balanced in one reading only.
  if (!balance_tells && fabs(ru - 1) < 0.12 && fabs(rl - 1) < 0.12) {
    g.code = LikelyCode::not_audio;
    g.reason = strprintf(
        "the bytes are spread like noise, balanced and as rough in both codes: roughness %.2f as "
        "u255, %.2f as linear, where noise is 1",
        ru, rl);
    return g;
  }
  bool u = balance_tells ? iu < il : ru <= rl;
  g.code = u ? LikelyCode::u255 : LikelyCode::linear;
  const char* name = u ? "u255" : "linear offset";
  const char* other = u ? "linear offset" : "u255";
  if (balance_tells)
    g.reason = strprintf(
        "decoded as %s the levels swing evenly about zero (%.0f%% unpaired), as %s they are "
        "lopsided (%.0f%%)",
        name, 100 * lo, other, 100 * hi);
  else
    g.reason = strprintf("the samples move more smoothly decoded as %s (roughness %.2f) than as %s (%.2f)",
                         name, u ? ru : rl, other, u ? rl : ru);
  return g;
}

static RegionFacts region_facts(const uint8_t* data, RegionSpan span, SampleCode code, double rate) {
  RegionFacts r;
  r.span = span;
  const uint8_t* b = data + span.offset;
  uint32_t n = span.length;
  r.first_byte = b[0];
  r.first_is_zero = code_output(b[0], code) == 0;
  uint32_t end = n;
  while (end > 1 && b[end - 1] == 0xFF) end--;
  r.erased_tail = n - end;
  uint32_t used = end;
  while (used > 1 && code_output(b[used - 1], code) == 0) used--;
  r.used = used;
  r.padding = end - used;
  for (uint32_t i = 1; i < used; i++) {
    double v = fabs(code_output(b[i], code));
    if (v > r.peak) r.peak = v;
  }
  r.play_seconds = (n - 1) / rate;
  r.sound_seconds = (used - 1) / rate;
  return r;
}

ImageFacts analyse_image(const uint8_t* data, size_t size, const ImageOptions& options) {
  ImageFacts f;
  f.size = size;
  f.eprom = eprom_of_size(size);
  f.sums = checksum(data, size);
  f.factory = options.factory ? match_factory(*options.factory, size, f.sums) : nullptr;
  f.guess = guess_code(data, size);
  f.machine = options.machine;
  f.code = options.code_given ? options.code : options.machine->code;
  f.rate = options.rate > 0 ? options.rate : options.machine->rate;

  if (!f.eprom)
    f.warnings.push_back(
        strprintf("%zu bytes is no EPROM size: a programmer wants the chip's exact size", size));
  const char* reading = code_name(f.code);
  switch (f.guess.code) {
    case LikelyCode::u255:
    case LikelyCode::linear:
      if ((f.guess.code == LikelyCode::u255) != (f.code == SampleCode::u255))
        f.warnings.push_back(strprintf("the bytes look like %s codes, but they are read as %s: try %s",
                                       f.guess.code == LikelyCode::u255 ? "u255" : "linear offset", reading,
                                       f.guess.code == LikelyCode::u255 ? "--code u255" : "--code linear"));
      break;
    case LikelyCode::erased:
      f.warnings.push_back("the image is erased, or nearly: nothing to play");
      break;
    case LikelyCode::silent:
      break;
    case LikelyCode::not_audio:
      f.warnings.push_back("the bytes do not look like a sampled sound in any code we know");
      break;
  }

  uint32_t region = options.machine->region;
  std::vector<RegionSpan> spans = split_regions(size, region);
  for (const RegionSpan& s : spans) f.regions.push_back(region_facts(data, s, f.code, f.rate));
  const uint32_t chip = options.machine->chip;
  if (chip && size < region && size % chip == 0)
    f.warnings.push_back(
        strprintf("%s plays one %u-byte region from %u chips of %u bytes; this image holds %zu "
                  "of them, and the facts cover only those",
                  options.machine->name, region, region / chip, chip, size / chip));
  else if (size < region)
    f.warnings.push_back(
        strprintf("the image is shorter than one %u-byte region of %s: the card plays on past its "
                  "end into whatever the socket then reads",
                  region, options.machine->name));
  else if (size % region != 0)
    f.warnings.push_back(
        strprintf("the last region holds %zu of %u bytes: the card plays on past the image's end",
                  size % region, region));
  bool many = f.regions.size() > 1;
  for (size_t i = 0; i < f.regions.size(); i++) {
    const RegionFacts& r = f.regions[i];
    std::string where = many ? strprintf("region %zu: ", i + 1) : std::string();
    if (!r.first_is_zero)
      f.warnings.push_back(
          strprintf("%sthe first byte 0x%02X is not the zero code: the DAC holds it while idle (an "
                    "offset of %.1f dBFS) and every hit starts with a click",
                    where.c_str(), r.first_byte, to_dbfs(fabs(code_output(r.first_byte, f.code)))));
    if (r.erased_tail > 0 && f.guess.code != LikelyCode::erased)
      f.warnings.push_back(
          strprintf("%san erased tail of %u bytes (0xFF, full scale): a step and a click at the end "
                    "of every hit; pad with the zero code instead",
                    where.c_str(), r.erased_tail));
  }
  return f;
}
