// The whole preparation of a voice over one fuzz input, shared by the fuzz
// target and the unit test that replays its findings.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// The first five bytes choose the options, the rest is the sound file.
// Returns the first invariant that failed, or an empty string.
std::string FuzzPrepareOne(const uint8_t* data, size_t size);
