// The facts of one file as people read them (one fact a line under the
// file's name) and as scripts read them (one JSON object a line). The JSON
// keys are a stable interface, described in the README; new keys may come,
// none goes or changes its meaning.
#pragma once

#include <string>

#include "inspect/inspect.h"

// The block for a usable file, ending in a newline; "" for an unusable one,
// whose reason goes to standard error instead.
std::string report_text(const FileReport& report);

// One JSON object, on one line, without the newline.
std::string report_json(const FileReport& report);

// Warnings of a sound file (a DC offset, silence, samples that are no
// numbers, a file that ended early): shared by both forms.
std::vector<std::string> sound_warnings(const SoundFacts& sound);
