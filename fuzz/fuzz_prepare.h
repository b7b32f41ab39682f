// The fuzz targets' work over one input, shared by the targets and the unit
// test that replays their findings: the first invariant that failed, or null.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The whole preparation of a voice: the first five bytes choose the
// options, the rest is the sound file.
const char* FuzzPrepareOne(const uint8_t* data, size_t size);
// info's analysis, listen's rendering and the pictures (fuzz_info.cpp).
const char* FuzzInfoOne(const uint8_t* data, size_t size);
