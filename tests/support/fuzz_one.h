// The prepare and info fuzz targets' work over one input, shared by the
// targets and the unit test that replays their seeds and findings.
#pragma once

#include <stddef.h>
#include <stdint.h>

// What one input came to: the outcome, in the words seed names use, and
// the first invariant that failed, or null.
struct FuzzResult {
  const char* outcome;
  const char* failed = nullptr;
};

// The whole preparation of a voice: the first five bytes choose the
// options, the rest is the sound file. Outcomes: "short" (no options),
// "usage" (options that do not go together), "not-sound" (libsndfile
// refuses the file), "finished", "bad-input", "failed".
FuzzResult FuzzPrepareOne(const uint8_t* data, size_t size);
// info's analysis, listen's rendering and the pictures: the first byte
// chooses the options, the rest is the file. Outcomes: "short", "image",
// "sound", "unusable".
FuzzResult FuzzInfoOne(const uint8_t* data, size_t size);
