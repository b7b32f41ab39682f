// Waveform pictures, for owners who would rather look than read: the DAC's
// output of an image over time with its regions, first bytes, padding and
// erased tail marked; or a sound file's waveform with the part that fits
// a machine's region marked. PNG, drawn with cairo.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "inspect/image.h"
#include "inspect/sound.h"

struct PlotSize {
  int width = 1000, height = 360;
};
// What --plot-size accepts: small enough to fit any screen's pixels in
// memory, large enough for the labels.
enum { plot_min_width = 320, plot_min_height = 200, plot_max_width = 10000, plot_max_height = 4000 };

// The image's `facts.size` bytes in `data`, titled with `name`.
bool plot_image(const std::string& name, const uint8_t* data, const ImageFacts& facts, PlotSize size,
                std::vector<uint8_t>* png, std::string* error);

// The sound with the part that fits `fit` marked.
bool plot_sound(const std::string& name, const SoundFacts& facts, const RegionFit& fit, PlotSize size,
                std::vector<uint8_t>* png, std::string* error);

// A whole ROM of a machine of several sounds, as listen plays it: `played`
// at `rate` (each sound resampled to it, then a gap), each sound's span
// banded with its name and place, and its idle byte marked good or bad.
struct RomPlotSpan {
  double t0 = 0, t1 = 0;   // seconds in `played`
  std::string label;       // "bd1 0x0000-0x1FFE /2"
  bool has_idle = false;
  bool idle_is_zero = true;
  double idle_level = 0;   // what the DAC holds while idle
};
bool plot_rom(const std::string& title, const std::vector<float>& played, double rate,
              const std::vector<RomPlotSpan>& spans, PlotSize size, std::vector<uint8_t>* png, std::string* error);
