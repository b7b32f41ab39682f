#include "voice/prepare.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>

#include "voice/render.h"
#include "voice/resample.h"
#include "text/format.h"

// Card clocks: the slowest and fastest trimmer settings of any card we know
// lie well inside, and a typo (27.2 for 27200) lands outside.
const Range rate_range = {1000, 200000, false, "Hz"};
// A file's own rate: up to the 768 kHz some recorders write; outside, the
// resampler's filters grow without use (and no such file is a drum voice).
const Range input_rate_range = {1000, 768000, false, "Hz"};
// Two bytes hold the first byte and one sample; 16 MB is beyond any
// EPROM a drum machine takes.
const Range region_range = {2, 16 << 20, true, "bytes"};
const Range channel_range = {1, 1 << 20, true, ""};
const Range fade_range = {0, 10000, false, "ms"};
const Range gain_range = {-120, 120, false, "dB"};
const double trim_threshold = 0.001;
const double max_input_level = 1e6;

static const double pi = 3.14159265358979323846;

static std::string ms(double samples, double rate) { return ms_text(samples / rate); }

static std::string eprom_name(uint32_t bytes) {
  const Eprom* e = eprom_of_size(bytes);
  return e ? strprintf(" (%s)", e->name) : std::string();
}

std::string resolve_options(const PrepareOptions& o, VoiceSettings* s) {
  if (!o.machine) return "no machine";
  const Machine& m = *o.machine;
  s->machine = &m;
  s->code = o.code_given ? o.code : m.code;
  s->encoder = o.encoder;
  s->rate = o.rate ? o.rate : m.rate;
  s->region = o.region ? o.region : m.region;
  // The LinnDrum's first byte is 0x00, the AM6070's other zero; under a
  // code of another kind only the zero code is silence.
  s->first_byte = s->code == m.code ? m.first_byte : zero_code(s->code);
  s->pad_byte = zero_code(s->code);
  auto outside = [](double v, const Range& r) { return !(v >= r.lo && v <= r.hi); };
  if (outside(s->rate, rate_range)) return "the rate must be from " + range_text(rate_range);
  if (outside(s->region, region_range)) return "the region must be " + range_text(region_range);
  if (o.channel != 0 && outside(o.channel, channel_range))
    return "the channel must be " + range_text(channel_range);
  if (outside(o.fade_ms, fade_range)) return "the fade must be " + range_text(fade_range);
  if (!o.normalize && outside(o.gain_db, gain_range)) return "the gain must be " + range_text(gain_range);
  if (o.encoder == Encoder::curve && s->code != SampleCode::u255)
    return "--encoder curve makes u255 codes; it cannot go with linear codes";
  s->chip = o.chip ? o.chip : m.chip;
  s->files = 1;
  if (s->chip && s->chip < s->region) {
    if (s->region % s->chip)
      return strprintf("a region of %u bytes is no whole number of %u-byte chips", s->region, s->chip);
    s->files = s->region / s->chip;
  }
  // A programmer takes a file of the chip's exact size; a region spread
  // over chips, or a chip larger than the region, has no "used bytes only".
  if (!o.pad && (o.chip || s->files > 1))
    return s->files > 1 ? strprintf("--no-pad cannot split the region over %u-byte chips", s->chip)
                        : std::string("--no-pad cannot go with --chips");
  return "";
}

ReadResult read_voice(AudioFile& input, const ReadOptions& o) {
  ReadResult r;
  const AudioFormat& f = audio_format(input);
  StreamResampler resampler;
  if (!resampler.open(f.rate, o.rate, &r.error)) {
    r.failed = r.library_failed = true;
    return r;
  }
  // Small blocks: what is read beyond the region's need is at most one
  // block and the filter's look-ahead.
  const long block = 1024;
  std::vector<float> in((size_t)block);
  bool trimming = o.trim;
  while (r.sound.size() < o.want) {
    MonoRead m = read_mono(input, o.channel, in.data(), block);
    r.frames_read += m.frames;
    r.nonfinite += m.nonfinite;
    if (m.failed) {
      r.failed = true;
      r.error = "cannot read the input: " + m.error;
      return r;
    }
    if (m.frames == 0) {
      r.ended = true;
      break;
    }
    size_t start = 0, n = (size_t)m.frames;
    if (trimming) {
      while (start < n && !(fabsf(in[start]) >= trim_threshold)) start++;
      r.trimmed += (int64_t)start;
      trimming = start == n;
    }
    if (!resampler.push(in.data() + start, n - start, &r.sound, &r.error)) {
      r.failed = r.library_failed = true;
      return r;
    }
  }
  if (r.ended) {
    if (!resampler.flush(&r.sound, &r.error)) {
      r.failed = r.library_failed = true;
      return r;
    }
    // A stream that stops short says so only by ending: libsndfile
    // delivers what there is without an error.
    if (f.frames >= 0 && r.frames_read < f.frames) {
      r.failed = true;
      r.error = strprintf("the input ends after %lld of the %lld frames it announces",
                       (long long)r.frames_read, (long long)f.frames);
      return r;
    }
    r.total = (int64_t)r.sound.size();
  } else if (f.frames >= 0) {
    r.total = llround((double)(f.frames - r.trimmed) * o.rate / f.rate);
  }
  return r;
}

FitResult fit_region(std::vector<float>* sound, size_t room, size_t fade) {
  FitResult r;
  if (sound->size() <= room) {
    r.kept = sound->size();
    return r;
  }
  sound->resize(room);
  r.kept = room;
  r.cut = true;
  r.faded = std::min(fade, room);
  float* tail = sound->data() + room - r.faded;
  for (size_t i = 0; i < r.faded; i++)
    tail[i] *= (float)(0.5 * (1 + cos(pi * (double)(i + 1) / (double)r.faded)));
  return r;
}

// The lowest and highest level a code reaches, as fractions of full scale.
static void code_range(SampleCode code, double* lo, double* hi) {
  *lo = -1;
  *hi = 1;
  if (code == SampleCode::linear || code == SampleCode::signed_linear) *hi = 127 / 128.0;
  if (code == SampleCode::linear_inverted) *lo = -127 / 128.0;
  if (code == SampleCode::linear_top6) *hi = 31 / 32.0;
}

LevelResult set_level(std::vector<float>* sound, const LevelOptions& o) {
  LevelResult r;
  for (float v : *sound) r.peak = std::max(r.peak, (double)fabsf(v));
  if (o.normalize)
    r.gain = r.peak > 0 ? code_full_scale(o.code) / r.peak : 1;
  else
    r.gain = pow(10, o.gain_db / 20);
  double lo, hi;
  code_range(o.code, &lo, &hi);
  // Rounding may take the normalized peak a hair beyond full scale: that
  // is no clip.
  const double slack = 1e-6;
  for (float& v : *sound) {
    v = (float)(v * r.gain);
    if (v > hi + slack || v < lo - slack) r.clipped++;
  }
  return r;
}

std::vector<uint8_t> encode_sound(const std::vector<float>& sound, SampleCode code, Encoder encoder) {
  std::vector<uint8_t> codes(sound.size());
  for (size_t i = 0; i < sound.size(); i++) codes[i] = encode_level(sound[i], code, encoder);
  return codes;
}

std::vector<std::vector<uint8_t>> build_image(const std::vector<uint8_t>& codes, const VoiceSettings& s,
                                              bool pad) {
  size_t total = pad ? std::max(s.region, s.chip) : 1 + codes.size();
  std::vector<uint8_t> whole(total, s.pad_byte);
  whole[0] = s.first_byte;
  std::copy(codes.begin(), codes.end(), whole.begin() + 1);
  std::vector<std::vector<uint8_t>> files;
  size_t each = total / s.files;
  for (uint32_t i = 0; i < s.files; i++)
    files.emplace_back(whole.begin() + (ptrdiff_t)(i * each), whole.begin() + (ptrdiff_t)((i + 1) * each));
  return files;
}

double dac_snr_db(const std::vector<float>& sound, const std::vector<uint8_t>& codes, SampleCode code) {
  double ss = 0, sd = 0, dd = 0;
  for (size_t i = 0; i < sound.size(); i++) {
    double d = code_output(codes[i], code);
    ss += (double)sound[i] * sound[i];
    sd += sound[i] * d;
    dd += d * d;
  }
  if (!(ss > 0)) return NAN;
  double g = dd > 0 ? sd / dd : 0, noise = 0;
  for (size_t i = 0; i < sound.size(); i++) {
    double e = sound[i] - g * code_output(codes[i], code);
    noise += e * e;
  }
  return noise > 0 ? 10 * log10(ss / noise) : INFINITY;
}

static const char* encoder_text(SampleCode code, Encoder encoder) {
  switch (code) {
    case SampleCode::u255:
      return encoder == Encoder::dac ? "nearest DAC level" : "continuous u255 curve";
    case SampleCode::linear: return "linear, rounded";
    case SampleCode::linear_inverted: return "linear inverted, rounded";
    case SampleCode::signed_linear: return "signed linear, rounded";
    case SampleCode::linear_top6: return "linear on the top 6 bits, rounded";
  }
  return "?";
}

// Why the input cannot be prepared at all, before a frame is read; "" when it can.
static std::string check_input(const AudioFormat& f, const PrepareOptions& o) {
  if (f.rate < input_rate_range.lo || f.rate > input_rate_range.hi)
    return strprintf("the input's rate of %d Hz is outside %s", f.rate, range_text(input_rate_range).c_str());
  if (o.channel > f.channels)
    return strprintf("the input has %d channel%s, no channel %d", f.channels, f.channels == 1 ? "" : "s",
                     o.channel);
  return "";
}

PreparedVoice prepare_voice(AudioFile& input, const PrepareOptions& o, const VoiceSettings& settings) {
  PreparedVoice v;
  v.settings = settings;
  const VoiceSettings& s = v.settings;
  v.format = audio_format(input);
  v.stage = PrepareStage::started;
  auto stop = [&v](PrepareOutcome outcome, const std::string& error) {
    v.outcome = outcome;
    v.error = error;
    return std::move(v);
  };
  std::string why = check_input(v.format, o);
  if (!why.empty()) return stop(PrepareOutcome::bad_input, why);
  v.stage = PrepareStage::checked;

  v.room = s.region - 1;
  ReadOptions ro;
  ro.channel = o.channel;
  ro.trim = o.trim;
  ro.rate = s.rate;
  ro.want = v.room + 1;
  ReadResult r = read_voice(input, ro);
  if (r.failed) return stop(r.library_failed ? PrepareOutcome::failed : PrepareOutcome::bad_input, r.error);
  if (r.frames_read == 0) return stop(PrepareOutcome::bad_input, "the input holds no sound (no frames)");
  // A float file may go beyond full scale, but not without end: levels
  // that overflow the resampler (or reach a million times full scale) are
  // damage, and normalizing them would leave a silent image.
  for (float x : r.sound)
    if (!(fabsf(x) <= max_input_level))
      return stop(PrepareOutcome::bad_input,
                  "the input's levels reach beyond +120 dBFS: no sound is that loud; the file is damaged");
  v.trimmed = r.trimmed;
  v.nonfinite = r.nonfinite;
  v.stage = PrepareStage::read;

  std::vector<float> sound = std::move(r.sound);
  FitResult fit = fit_region(&sound, v.room, (size_t)llround(o.fade_ms * s.rate / 1000));
  v.kept = fit.kept;
  v.faded = fit.faded;
  v.cut = !fit.cut ? 0 : r.total >= 0 ? std::max<int64_t>(r.total - (int64_t)v.room, 1) : -1;
  v.stage = PrepareStage::fitted;
  if (v.cut && !o.cut)
    return stop(PrepareOutcome::bad_input,
                strprintf("the sound is longer than the region's %zu samples (--no-cut)", v.room));

  LevelResult level = set_level(&sound, {o.normalize, o.gain_db, s.code});
  v.peak = level.peak;
  v.gain = level.gain;
  v.clipped = level.clipped;
  std::vector<uint8_t> codes = encode_sound(sound, s.code, s.encoder);
  v.files = build_image(codes, s, o.pad);
  v.snr_db = dac_snr_db(sound, codes, s.code);

  // What one trigger plays: the region, not the rest of a larger chip.
  std::vector<uint8_t> region;
  for (const auto& file : v.files) region.insert(region.end(), file.begin(), file.end());
  region.resize(std::min<size_t>(region.size(), s.region));
  v.preview = decode_region(region.data(), region.size(), s.code);
  v.outcome = PrepareOutcome::finished;
  v.stage = PrepareStage::done;
  return v;
}

static std::string format_line(const AudioFormat& f) {
  std::string line = strprintf("Format: %s, %s, %d channel%s, %d Hz, ", f.container.c_str(),
                               f.encoding.c_str(), f.channels, f.channels == 1 ? "" : "s", f.rate);
  if (f.frames >= 0)
    line += strprintf("%.3f s", (double)f.frames / f.rate);
  else
    line += "length unknown (a stream)";
  return line;
}

static std::string machine_line(const PrepareOptions& o, const VoiceSettings& s) {
  const Machine& m = *s.machine;
  return strprintf("Machine: %s (%s), %s codes%s, %s%s, region %u bytes%s", m.name, m.description,
                   code_name(s.code), o.code_given && s.code != m.code ? " (--code)" : "", hz_text(s.rate).c_str(),
                   o.rate && o.rate != m.rate ? " (--rate)" : "", s.region,
                   o.region && o.region != m.region ? " (--eprom or --size)" : "");
}

std::vector<std::string> prepare_report(const PreparedVoice& v, const PrepareOptions& o) {
  std::vector<std::string> lines;
  if (v.stage < PrepareStage::started) return lines;
  const VoiceSettings& s = v.settings;
  const AudioFormat& f = v.format;
  lines.push_back(format_line(f));
  lines.push_back(machine_line(o, s));
  if (s.files > 1)
    lines.push_back(strprintf("Chips: %u files of %u bytes%s, in address order", s.files, s.chip,
                              eprom_name(s.chip).c_str()));
  else if (s.chip > s.region)
    lines.push_back(strprintf("Chip: %u bytes%s, the region at its start, zero codes after it", s.chip,
                              eprom_name(s.chip).c_str()));
  if (v.stage < PrepareStage::checked) return lines;
  if (o.channel > 0)
    lines.push_back(strprintf("Channel: %d of %d", o.channel, f.channels));
  else if (f.channels > 1)
    lines.push_back(strprintf("Mixed: %d channels averaged into one", f.channels));
  if (v.stage < PrepareStage::read) return lines;
  if (o.trim)
    lines.push_back("Trimmed: " + samples_text(v.trimmed, f.rate) + " of leading silence below -60 dBFS");
  if (f.rate != s.rate)
    lines.push_back(strprintf("Resampled: %s to %s (libsoxr, very high quality)", hz_text(f.rate).c_str(),
                              hz_text(s.rate).c_str()));
  else
    lines.push_back("Resampled: no, the input is at the card's rate");

  std::string kept = "Kept: " + samples_text((int64_t)v.kept, s.rate) + "; cut: ";
  if (v.cut == 0)
    kept += "0";
  else if (v.cut > 0)
    kept += samples_text(v.cut, s.rate);
  else
    kept += "the rest of a stream of unknown length";
  if (v.cut && o.cut) kept += ", faded out over the last " + ms((double)v.faded, s.rate);
  lines.push_back(kept);
  if (v.stage < PrepareStage::done) return lines;
  if (o.pad)
    lines.push_back(strprintf("Padded: %zu bytes (%s) with 0x%02X", v.room - v.kept,
                              ms((double)(v.room - v.kept), s.rate).c_str(), s.pad_byte));
  else
    lines.push_back("Padded: no (--no-pad)");
  if (v.peak > 0)
    lines.push_back(strprintf("Peak: %.1f dBFS; gain: %s (%s)", round(to_dbfs(v.peak) * 10) / 10 + 0.0,
                              gain_text(v.gain).c_str(), o.normalize ? "normalized" : "--gain"));
  else
    lines.push_back(strprintf("Peak: silence; gain: %s (%s)", gain_text(v.gain).c_str(),
                              o.normalize ? "nothing to normalize" : "--gain"));
  lines.push_back(strprintf("Clipped: %lld sample%s", (long long)v.clipped, v.clipped == 1 ? "" : "s"));
  lines.push_back(strprintf("Non-finite samples: %lld", (long long)v.nonfinite));
  lines.push_back(std::string("Encoder: ") + encoder_text(s.code, s.encoder));
  size_t bytes = 0;
  for (const auto& file : v.files) bytes += file.size();
  lines.push_back(
      strprintf("Image: %zu bytes, region %.1f%% used", bytes, 100.0 * (double)v.kept / (double)v.room));
  if (isnan(v.snr_db))
    lines.push_back("Expected SNR on the DAC: none, the sound is silent");
  else if (isinf(v.snr_db))
    lines.push_back("Expected SNR on the DAC: exact, every sample is on a DAC level");
  else
    lines.push_back(strprintf("Expected SNR on the DAC: %.1f dB", v.snr_db));
  return lines;
}
