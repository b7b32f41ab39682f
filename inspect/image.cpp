#include "inspect/image.h"

#include <math.h>
#include <string.h>

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

// Runs this long of 0xFF are taken for erased cells, and of 0x80 or 0x00
// (the two zeros of the AM6070: our padding and the factory chips') for
// padding, rather than for a waveform held at one level: both are left
// out of the statistics.
static const size_t long_run = 8;

// How randomly the samples move, read through `levels`: the energy of the
// differences of neighbours against twice the signal's energy. Unrelated
// samples (noise) give 1. -1 when the reading has no energy.
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

// The largest gap between the running shares of two histograms of `n`
// bins (a Kolmogorov-Smirnov distance): 0 for the same shape, 1 for no
// overlap. It compares shapes, not counts, and does not care how sparsely
// the bins are filled.
static double shape_gap(const size_t* a, const size_t* b, int n) {
  size_t ta = 0, tb = 0;
  for (int i = 0; i < n; i++) ta += a[i], tb += b[i];
  if (!ta || !tb) return 0;
  double ca = 0, cb = 0, gap = 0;
  for (int i = 0; i < n; i++) {
    ca += (double)a[i] / (double)ta;
    cb += (double)b[i] / (double)tb;
    gap = fmax(gap, fabs(ca - cb));
  }
  return gap;
}

// The mean step, in fractions of full scale, where neighbours read through
// `levels` have opposite signs; 0 when none do. A sound crosses
// zero from quiet samples, or at worst from its usual level; read with the
// wrong code, every crossing of the true waveform becomes a leap to near
// full scale, since the quiet samples of one sign land at the far end.
static double crossing_step(const uint8_t* data, const std::vector<bool>& skip, const double levels[256]) {
  double steps = 0;
  size_t n = 0;
  for (size_t i = 1; i < skip.size(); i++) {
    if (skip[i] || skip[i - 1]) continue;
    double a = levels[data[i - 1]], b = levels[data[i]];
    if (a * b < 0) steps += fabs(a - b), n++;
  }
  return n ? steps / (double)n : 0;
}

// How much the level moves over time: the spread of the mean magnitude
// of blocks of 64 samples against the spread chance alone gives them.
// About 1 for bytes drawn at random; a sound's attack and decay make it
// far larger. Magnitudes as u255 (bits 6-0); any reading would do.
static double envelope_swing(const uint8_t* data, const std::vector<bool>& skip) {
  const size_t block = 64;
  std::vector<double> means;
  double sum = 0, sum2 = 0, in_block = 0;
  size_t n = 0;
  for (size_t i = 0; i < skip.size(); i++) {
    if (skip[i]) continue;
    double m = data[i] & 0x7F;
    sum += m, sum2 += m * m, n++;
    in_block += m;
    if (n % block == 0) means.push_back(in_block / block), in_block = 0;
  }
  if (means.size() < 2) return 0;
  double var = (sum2 - sum * sum / (double)n) / (double)n, mean = 0, spread = 0;
  if (!(var > 0)) return 0;
  for (double m : means) mean += m / (double)means.size();
  for (double m : means) spread += (m - mean) * (m - mean) / (double)(means.size() - 1);
  return spread / (var / block);
}

// Below this score either way the two readings are too alike to say, and
// with fewer samples of either sign than this the measures are themselves
// too unsteady. On two corpora of about 4400 images each
// (scripts/codeguess.py, seeds 0 and 3: prepared from real drum
// recordings, coded as other tools code, hard synthetic sounds) the wrong
// code won 3 times in each, never scoring above 0.31, and about 1 right
// call in 400 scored under 0.45.
static const double sure_score = 0.45;
static const size_t sure_samples = 32;

CodeGuess guess_code(const uint8_t* data, size_t size) {
  CodeGuess g;
  std::vector<bool> skip(size, false);
  size_t erased = 0, padding = 0;
  for (size_t i = 0; i < size;) {
    size_t j = i + 1;
    while (j < size && data[j] == data[i]) j++;
    bool whole = j - i == size;
    if ((data[i] == 0xFF || data[i] == 0x80 || data[i] == 0x00) && (j - i >= long_run || whole)) {
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
  if (values == 0) {
    g.code = LikelyCode::silent;
    g.reason =
        "every byte is in runs of 0x80 or 0x00 (or erased): the zero codes of u255, and 0x80 of linear";
    return g;
  }
  if (values == 1) {
    g.code = LikelyCode::silent;
    g.reason = strprintf("every byte%s is 0x%02X: no waveform in either code",
                         erased ? " that is not erased" : "", value);
    return g;
  }
  if (kept < 16) {
    g.code = LikelyCode::not_audio;
    g.reason = strprintf("%zu bytes of sound are too few to tell a code", kept);
    return g;
  }
  double u255[256], linear[256];
  for (int c = 0; c < 256; c++) {
    u255[c] = code_output((uint8_t)c, SampleCode::u255);
    linear[c] = code_output((uint8_t)c, SampleCode::linear);
  }
  double ru = roughness(data, skip, u255), rl = roughness(data, skip, linear);
  if (ru < 0) {
    // Only 0x00 and 0x80: both are zero on the AM6070, while a linear DAC
    // would swing between its ends.
    g.code = LikelyCode::silent;
    g.reason = "only the codes 0x00 and 0x80, both silence in u255";
    return g;
  }
  // Bytes spread evenly over all 256 codes with no likeness between
  // neighbours and no envelope are noise in both readings. Each alone is
  // not enough: a hiss that dies away exponentially fills the u255 codes
  // evenly too, and is as rough as noise, but it has an envelope.
  size_t even[256];
  for (int c = 0; c < 256; c++) even[c] = 1;
  bool spread_evenly = shape_gap(histogram, even, 256) < 0.1;
  if (fabs(ru - 1) < 0.12 && fabs(rl - 1) < 0.12 && spread_evenly && envelope_swing(data, skip) < 2) {
    g.code = LikelyCode::not_audio;
    g.reason = strprintf(
        "the bytes are spread evenly over all codes, with no envelope, and as rough as noise in both "
        "readings: roughness %.2f as u255, %.2f as linear, where noise is 1",
        ru, rl);
    return g;
  }

  // Sound swings as far down as up, so the levels of its positive samples
  // and those of its negative samples have one shape. Both codes put the
  // positive magnitudes 1..127 at 0x81..0xFF, in order; the negative ones
  // are at 0x01..0x7F in u255 and at 0x7F..0x01 (reversed) in linear.
  // Zeros (0x80, and 0x00 in u255) belong to neither sign; linear's 0x00,
  // one step beyond, joins its loudest negatives, where clipping puts it.
  size_t up[127], down_u255[127], down_linear[127], ups = 0, downs = 0;
  for (int m = 1; m < 128; m++) {
    up[m - 1] = histogram[0x80 + m];
    down_u255[m - 1] = histogram[m];
    down_linear[m - 1] = histogram[0x80 - m];
    ups += histogram[0x80 + m];
    downs += histogram[m];
  }
  down_linear[126] += histogram[0x00];
  double gap_u = shape_gap(up, down_u255, 127), gap_l = shape_gap(up, down_linear, 127);
  double step_u = crossing_step(data, skip, u255), step_l = crossing_step(data, skip, linear);
  // Each measure alone fails on some sounds: the shapes of a loud, even
  // spread of codes look alike either way round, and loud hiss read as
  // linear crosses zero in big steps. Their sum holds on both.
  double score = (gap_l - gap_u) + (step_l - step_u);
  bool u = score > 0;
  g.code = u ? LikelyCode::u255 : LikelyCode::linear;
  const char* name = u ? "u255" : "linear offset";
  const char* other = u ? "linear offset" : "u255";
  g.reason = strprintf(
      "decoded as %s the positive and negative levels differ in shape by %.0f%% and cross zero in steps of "
      "%.2f of full scale; decoded as %s, by %.0f%% and in steps of %.2f",
      name, 100 * (u ? gap_u : gap_l), u ? step_u : step_l, other, 100 * (u ? gap_l : gap_u),
      u ? step_l : step_u);
  if (ups < sure_samples || downs < sure_samples)
    g.doubt = strprintf("only %zu positive and %zu negative samples", ups, downs);
  else if (spread_evenly && (u ? gap_u - gap_l : gap_l - gap_u) > 0.05)
    // Hiss dying away evenly fills the u255 codes, and loud, clipped hiss
    // the linear ones; of such bytes the signs' shapes are the steadier
    // witness, and here they side with the other code.
    g.doubt = "the bytes fill all 256 codes about evenly, as loud hiss does in either code, and the shapes "
              "of the two signs side with the other code";
  else if (fabs(score) < sure_score)
    g.doubt =
        strprintf("the two readings differ little, by %.2f where sure takes %.2f", fabs(score), sure_score);
  g.sure = g.doubt.empty();
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

// The preset of the card a factory voice goes into, when the checksums
// name one: of a whole chip, or of joined chips that all go to one card
// (else null). `code_card` is a card of the code of every chip named,
// when they agree (else null): chips for several cards may share a code.
static const Machine* factory_machine(const ImageFacts& f, const Machine** code_card) {
  std::vector<const FactoryImage*> chips;
  if (f.factory) chips.push_back(f.factory);
  for (const FactoryPiece& p : f.factory_pieces) chips.push_back(p.chip);
  const Machine *card = nullptr, *first = nullptr;
  bool one_card = true, one_code = true;
  for (const FactoryImage* chip : chips) {
    card = chip->preset ? find_machine(chip->preset) : nullptr;
    if (!first) first = card;
    one_card = one_card && card && card == first;
    one_code = one_code && card && first && card->code == first->code;
  }
  *code_card = one_code ? first : nullptr;
  return one_card ? first : nullptr;
}

ImageFacts analyse_image(const uint8_t* data, size_t size, const ImageOptions& options) {
  ImageFacts f;
  f.size = size;
  f.eprom = eprom_of_size(size);
  f.sums = checksum(data, size);
  if (options.factory) {
    f.factory = match_factory(*options.factory, size, f.sums);
    if (!f.factory) f.factory_pieces = match_factory_pieces(*options.factory, data, size);
  }
  const Machine* code_card = nullptr;
  const Machine* factory = factory_machine(f, &code_card);
  // A factory voice's code is known from its card, not guessed; the
  // user's --machine and --code still win.
  if (code_card) {
    const FactoryImage* chip = f.factory ? f.factory : f.factory_pieces[0].chip;
    f.guess.code = code_card->code == SampleCode::u255 ? LikelyCode::u255 : LikelyCode::linear;
    f.guess.reason = strprintf("%s %s of the %s, whose card (%s) reads %s codes",
                               f.factory ? "the factory chip" : "factory chips such as", chip->file,
                               chip->machine, code_card->name, code_name(code_card->code));
  } else {
    f.guess = guess_code(data, size);
  }
  f.machine = options.machine ? options.machine : factory ? factory : default_machine();
  f.code = options.code_given ? options.code : f.machine->code;
  f.rate = options.rate > 0 ? options.rate : f.machine->rate;

  if (!f.eprom)
    f.warnings.push_back(
        strprintf("%zu bytes is no EPROM size: a programmer wants the chip's exact size", size));
  const char* reading = code_name(f.code);
  switch (f.guess.code) {
    case LikelyCode::u255:
    case LikelyCode::linear:
      // An unsure guess says so in its own line; only a sure one is worth
      // telling the user to read the bytes otherwise.
      if (f.guess.sure && (f.guess.code == LikelyCode::u255) != (f.code == SampleCode::u255))
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

  uint32_t region = f.machine->region;
  std::vector<RegionSpan> spans = split_regions(size, region);
  for (const RegionSpan& s : spans) f.regions.push_back(region_facts(data, s, f.code, f.rate));
  const uint32_t chip = f.machine->chip;
  if (chip && size < region && size % chip == 0)
    f.warnings.push_back(
        strprintf("%s plays one %u-byte region from %u chips of %u bytes; this image holds %zu "
                  "of them, and the facts cover only those",
                  f.machine->name, region, region / chip, chip, size / chip));
  else if (size < region)
    f.warnings.push_back(
        strprintf("the image is shorter than one %u-byte region of %s: the card plays on past its "
                  "end into whatever the socket then reads",
                  region, f.machine->name));
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
