// The WAV-to-image conversion over arbitrary files, held to the
// frame-at-a-time data step of the unit tests (tests/support/reference_convert.cpp).
// The first byte picks the settings (code, invert, autoscale); the rest is
// the WAV file.
//
// Invariants: the conversion finishes or stops on its input, it never fails
// to write into a working folder; its result, report and image are those of
// the reference; "Finished." is the last line exactly when it finished; the
// input file is never changed. A run that does not end is caught by
// libFuzzer's -timeout.
#include <string.h>

#include <string>
#include <vector>

#include "convert/convert.h"
#include "fuzz/fuzz_common.h"
#include "report/report.h"
#include "settings/settings.h"
#include "tests/support/reference_convert.h"

static std::string input_path, output_path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzConversionFiles("in.wav", "out.bin", &input_path, &output_path);
  return 0;
}

struct Run {
  uint32_t result;
  int outcome;
  std::vector<std::string> report;
  std::string image;
};

static Run convert(uint32_t (*conversion)(void)) {
  EraseTextBuffer();
  Run r;
  r.result = conversion();
  r.outcome = conversion_outcome;
  r.report.assign(textline, textline + textlines);
  FUZZ_CHECK(ReadWhole(output_path, &r.image), "no image file");
  return r;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  ResetSettings();
  mu_law = data[0] & 3;  // 1 is u255-law; 0, 2 and 3 linear offset
  invert = (data[0] >> 2) & 1;
  autoscale = (data[0] >> 3) & 1;
  WriteWhole(input_path, data + 1, size - 1);

  Run reference = convert(ReferenceWAVToDMX);
  Run fast = convert(ConvertWAVToDMX);

  FUZZ_CHECK(fast.result == 0, "result %u", (unsigned)fast.result);
  FUZZ_CHECK(fast.outcome == OUTCOME_FINISHED || fast.outcome == OUTCOME_REJECTED, "outcome %d",
             fast.outcome);
  FUZZ_CHECK(fast.outcome == reference.outcome, "outcome %d, reference %d", fast.outcome,
             reference.outcome);
  for (size_t i = 0; i < fast.report.size() || i < reference.report.size(); i++) {
    const char* got = i < fast.report.size() ? fast.report[i].c_str() : "(none)";
    const char* want = i < reference.report.size() ? reference.report[i].c_str() : "(none)";
    FUZZ_CHECK(strcmp(got, want) == 0, "line %zu: \"%s\", reference \"%s\"", i, got, want);
    FUZZ_CHECK((strcmp(got, "Finished.") == 0) ==
                   (i + 1 == fast.report.size() && fast.outcome == OUTCOME_FINISHED),
               "\"Finished.\" out of place at line %zu", i);
  }
  FUZZ_CHECK(fast.image == reference.image, "image of %zu bytes, reference %zu",
             fast.image.size(), reference.image.size());
  std::string input;
  FUZZ_CHECK(ReadWhole(input_path, &input) && input.size() == size - 1 &&
                 memcmp(input.data(), data + 1, size - 1) == 0,
             "the input file changed");
  return 0;
}
