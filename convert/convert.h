// The two conversions: EPROM image to WAV file and WAV file to EPROM image.
// Both read their file names from dmxfilename and output_filename and the
// settings, narrate every step in the report log and return 0 when they ran
// (also when they stopped on a problem in the input) and 1 when they could
// not start or could not write their output.
#pragma once

#include <stdint.h>

#include "settings/settings.h"

extern char dmxfilename[NAME_SIZE];      // input file of either conversion
extern char output_filename[NAME_SIZE];  // output file of either conversion

// Nonzero (the default): a finished image-to-WAV conversion plays its output
// and remembers it as the last played file. The command-line converter turns
// this off; it has no sound to play.
extern int play_after_conversion;

// How the latest conversion ended, in more detail than its result.
enum {
  OUTCOME_FINISHED = 0,     // "Finished." reported
  OUTCOME_NOT_STARTED = 1,  // a file did not open, no memory, unusable rate
  OUTCOME_REJECTED = 2,     // stopped on a problem in the input
  OUTCOME_WRITE_FAILED = 3  // the output could not be written whole
};
extern int conversion_outcome;

uint32_t ConvertDMXtoWAV(void);
uint32_t ConvertWAVToDMX(void);

// Shared by both conversions: the wait cursor while they run and the
// window's cross-hair cursor on every way out.
void ShowWaitCursor(void);
void RestoreCursor(void);
