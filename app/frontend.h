// The texts and file names the desktop front end works out for itself: the
// output name it proposes, the extension rules after the save dialog, the
// rate shown and read back in the rate dialog, and the About text. Nothing
// here touches the window system, so it builds and is tested everywhere.
#pragma once

#include <stddef.h>

#include "settings/settings.h"

extern const char szAppCaption[];  // "Waveform conversion program"

// Points at the three-letter extension of `str` when the name ends in a dot
// and three characters (and is longer than that); otherwise at `str` itself,
// so a name without such an extension never equals "wav" or "bin".
char* extension(char* str);

// Turns the chosen input name (NAME_SIZE bytes) into the proposed output
// name: cut at the first '.' anywhere in the path, then `ext` (".wav" or
// ".bin") appended. When the result would not fit, the name is shortened at
// its end to make room, so the proposal always carries the extension.
void ProposeOutputName(char* name, const char* ext);

// Gives `name` (NAME_SIZE bytes) the extension `ext3` ("wav" or "bin")
// unless it already has it, in any letter case. Returns 0, leaving the name
// as it was, when the longer name would not fit.
int AppendExtension(char* name, const char* ext3);

// A sample rate beyond this, either way, does not fit a WAV header's rate
// field and is refused by the rate dialog.
#define RATE_TEXT_LIMIT 2147483648.0

// The rate as the dialog shows it: "%8.2f", e.g. "24000.00" or " 8000.00".
// Always terminated within `size` bytes.
void FormatRateText(char* out, size_t size, double rate);

// Reads the dialog's text the way atof does (white space, sign, digits,
// point, exponent; anything after the number ignored; no number gives 0.0).
// Returns 0 when the value is not a number or lies beyond RATE_TEXT_LIMIT.
int ReadRateText(const char* text, double* rate);

// The About box text, ending with the configuration file's name and a line
// break. Always terminated within `size` bytes.
void FormatAboutText(char* out, size_t size, const char* config_name);

// Message box texts of the refusals above.
extern const char rate_out_of_range_text[];
extern const char chosen_name_too_long_text[];
// Formats the refusal of an output name that has no room for ".ext3".
void FormatNoRoomText(char* out, size_t size, const char* name, const char* ext3);
