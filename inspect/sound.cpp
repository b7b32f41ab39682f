#include "inspect/sound.h"

#include <math.h>
#include <string.h>

// Folds samples into an envelope of at most 2 * bins pairs while the
// length is still unknown (a stream need not say): whenever it fills,
// neighbouring pairs merge and each covers twice the frames. It fills only
// as a bin completes, so every merge is of whole bins.
class EnvelopeBuilder {
 public:
  explicit EnvelopeBuilder(size_t bins) : bins_(bins < 1 ? 1 : bins) {}
  void add(float v) {
    if (in_bin_ == 0) {
      env_.low.push_back(v);
      env_.high.push_back(v);
    } else {
      if (v < env_.low.back()) env_.low.back() = v;
      if (v > env_.high.back()) env_.high.back() = v;
    }
    if (++in_bin_ == env_.per_bin) {
      in_bin_ = 0;
      if (env_.low.size() == 2 * bins_) merge();
    }
  }
  Envelope finish() {
    while (env_.low.size() > bins_) merge();
    return env_;
  }

 private:
  void merge() {
    size_t n = env_.low.size(), m = (n + 1) / 2;
    for (size_t i = 0; i < m; i++) {
      size_t a = 2 * i, b = 2 * i + 1 < n ? 2 * i + 1 : 2 * i;
      env_.low[i] = fminf(env_.low[a], env_.low[b]);
      env_.high[i] = fmaxf(env_.high[a], env_.high[b]);
    }
    env_.low.resize(m);
    env_.high.resize(m);
    env_.per_bin *= 2;
  }
  size_t bins_;
  Envelope env_;
  int64_t in_bin_ = 0;
};

SoundFacts analyse_sound(AudioFile& file, const SoundOptions& options) {
  SoundFacts f;
  f.format = audio_format(file);
  const int channels = f.format.channels;
  const long block = 4096;
  std::vector<float> frames((size_t)(block * channels));
  std::vector<double> sums((size_t)channels, 0.0);
  EnvelopeBuilder envelope(options.envelope_bins);
  float peak = 0;
  for (;;) {
    MonoRead r = read_frames(file, frames.data(), block);
    f.nonfinite += r.nonfinite;
    for (long i = 0; i < r.frames; i++) {
      const float* frame = &frames[(size_t)(i * channels)];
      double mix = 0;
      for (int c = 0; c < channels; c++) {
        float a = fabsf(frame[c]);
        if (a > peak) peak = a;
        sums[(size_t)c] += frame[c];
        mix += frame[c];
      }
      envelope.add((float)(mix / channels));
    }
    f.frames += r.frames;
    if (r.failed) {
      f.read_error = r.error;
      break;
    }
    if (r.frames < block) break;
  }
  f.peak = peak;
  f.seconds = (double)f.frames / f.format.rate;
  for (double s : sums) {
    double mean = f.frames ? s / (double)f.frames : 0;
    if (fabs(mean) > fabs(f.dc_offset)) f.dc_offset = mean;
  }
  f.envelope = envelope.finish();
  // The machine asked for may be an owner's version of a built-in one, or
  // a card of their own (--machines): it takes the place of its namesake,
  // or comes last.
  std::vector<const Machine*> machines;
  bool asked_in = false;
  for (const Machine& each : voice_machines()) {
    const bool asked = options.machine && strcmp(options.machine->name, each.name) == 0;
    machines.push_back(asked ? options.machine : &each);
    asked_in = asked_in || asked;
  }
  if (options.machine && !asked_in) machines.push_back(options.machine);
  for (const Machine* m : machines) {
    RegionFit fit;
    fit.machine = m;
    fit.rate = m == options.machine && options.rate > 0 ? options.rate : m->rate;
    fit.sound_bytes = m->region - 1;
    fit.fit_seconds = fit.sound_bytes / fit.rate;
    fit.kept_fraction = f.seconds > fit.fit_seconds ? fit.fit_seconds / f.seconds : 1.0;
    f.fits.push_back(fit);
  }
  return f;
}

const RegionFit* fit_of(const SoundFacts& facts, const Machine* machine) {
  for (const RegionFit& fit : facts.fits)
    if (fit.machine == machine) return &fit;
  return nullptr;
}
