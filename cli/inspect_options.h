// Option values `info` and `listen` share: a machine preset, a rate, a
// sample code, a picture's size.
#pragma once

#include "inspect/plot.h"
#include "voice/machine.h"

// A sample clock or an output rate: a number from 1000 to 200000 Hz.
// Whole numbers only when `whole` (a WAV file's rate).
bool parse_hz(const char* text, bool whole, double* hz);

// WIDTHxHEIGHT in pixels, within the limits of plot.h.
bool parse_plot_size(const char* text, PlotSize* size);

// A positive whole number.
bool parse_count(const char* text, int* n);
