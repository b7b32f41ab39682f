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
