// The WAV-to-image conversion over arbitrary files. The first byte picks the
// settings (code, invert, autoscale); the rest is the WAV file.
//
// Invariants: every report line is one of the program's texts; the
// conversion finishes or stops on its input, it never fails to write into a
// working directory; when it finished, the image holds exactly the number of
// codes the last "Output: %ld samples." line gives (none without such a
// line); the input file is never changed. A run that does not end is caught
// by libFuzzer's -timeout.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "convert/convert.h"
#include "fuzz/fuzz_common.h"
#include "platform/platform.h"
#include "report/report.h"
#include "settings/settings.h"

// Every line the conversion may report, as the program formats it.
static const char* const kLines[] = {
    "Input file: %s",
    "Output file: %s",
    "Unable to open input file: %s",
    "Unable to open output file: %s",
    "Output file is the input file: %s",
    "Unexpected end of file.",
    "Not a RIFF file",
    "Unknown RIFF type (not a WAVE file)",
    "Processing chunk... %s, %ld bytes",
    "Unknown audio format.",
    "%d bit data, Channels = %d",
    "No header detected before data!",
    "(Ignoring chunk)",
    "Unsupported sample size: %u bits (8 or 16 bit PCM only).",
    "Frame size of %u bytes too small for %u channel(s) of %u bits.",
    "Not enough memory for a frame of this file.",
    "Unable to go back to the start of the data.",
    "Input file: %ld samples.",
    "Pass %d: Unused audio headroom = %2d%%",
    "Output: %ld samples.",
    "Peak audio value = %ld",
    "Output format: Linear offset",
    "Unable to read the whole input file: %s",
    "Unable to write the whole output file: %s",
    "Finished.",
    NULL};

static std::string input_path, output_path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzConversionFiles("in.wav", "out.bin", &input_path, &output_path);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t flags = data[0];
  ResetSettings();
  mu_law = flags & 3;  // 1 is u255-law; 0, 2 and 3 linear offset
  invert = (flags >> 2) & 1;
  autoscale = (flags >> 3) & 1;
  WriteWhole(input_path, data + 1, size - 1);

  EraseTextBuffer();
  uint32_t result = ConvertWAVToDMX();

  FUZZ_CHECK(conversion_outcome == OUTCOME_FINISHED || conversion_outcome == OUTCOME_REJECTED,
             "outcome %d", conversion_outcome);
  FUZZ_CHECK(result == 0, "result %u", (unsigned)result);
  FUZZ_CHECK(textlines >= 3, "only %d lines", textlines);
  // Every chunk costs at least its 8-byte header and reports at most a
  // dozen lines: a report out of proportion to the file means a loop that
  // does not move through it.
  FUZZ_CHECK(textlines <= 4 + 12 * (int)(size / 8 + 1), "%d lines from %zu bytes", textlines,
             size);

  long announced = 0;
  for (int i = 0; i < textlines; i++) {
    const char* line = textline[i];
    FUZZ_CHECK(MatchingFormat(kLines, line) >= 0, "line %d is not one of ours: \"%s\"", i, line);
    FUZZ_CHECK((strcmp(line, "Finished.") == 0) == (i == textlines - 1 &&
                                                    conversion_outcome == OUTCOME_FINISHED),
               "\"Finished.\" out of place at line %d of %d", i, textlines);
    if (strncmp(line, "Output: ", 8) == 0 && MatchesFormat("Output: %ld samples.", line))
      announced = strtol(line + 8, NULL, 10);
  }

  std::string image, input;
  FUZZ_CHECK(ReadWhole(output_path, &image), "no image file");
  // A file stopped inside a data chunk keeps the codes written before the
  // stop, which the last count does not include yet.
  if (conversion_outcome == OUTCOME_FINISHED)
    FUZZ_CHECK((long)image.size() == announced, "image of %zu bytes, report says %ld",
               image.size(), announced);
  else
    FUZZ_CHECK((long)image.size() >= announced, "image of %zu bytes, report says %ld",
               image.size(), announced);
  FUZZ_CHECK(ReadWhole(input_path, &input) && input.size() == size - 1 &&
                 memcmp(input.data(), data + 1, size - 1) == 0,
             "the input file changed");
  return 0;
}
