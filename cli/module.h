// The converter keeps the two conversions in the program itself and loads
// everything else only when a command needs it. libsndfile, libsoxr and
// cairo bring some thirty shared libraries with them; a batch of a
// thousand wav2dmx runs should not pay for loading them a thousand times.
//
// Two modules: "tools" (prepare, listen, info: libsndfile, libsoxr, zlib,
// nettle) and "plot" (the pictures: cairo), so that preparing a voice does
// not load cairo either. Where the converter is one static program
// (Windows), the same calls lead to what is linked in.
#pragma once

#include <stddef.h>

#include "cli/command.h"
#include "inspect/plot.h"

// The program itself stays clear of the C++ library (one more shared library
// to load), so reasons come back in the caller's buffer.

// The commands of the tools module, ending in a null entry; null with a
// one-line reason in `error` when the module cannot be loaded.
const Command* const* tool_commands(char* error, size_t size);

// The plot module's entry points.
struct Plotter {
  decltype(&plot_image) image;
  decltype(&plot_sound) sound;
  decltype(&plot_rom) rom;
};

// The plotter, or null with a one-line reason.
const Plotter* plotter(char* error, size_t size);
