// The image-to-WAV conversion over arbitrary images and rates. The first
// byte picks 8- or 16-bit output, whether the conversion plays its output,
// and where the rate comes from: any double (NaN and infinities included)
// or a whole number from the bytes after it, or the default; the rest is the
// image.
//
// Invariant: the conversion finished and wrote a file of exactly 44 + N x
// bytes-per-sample bytes whose header announces the N samples it holds at
// the rate used, each sample the expansion of its code; or it refused with a
// report line of its own and no "Finished.". The input is never changed.
#include <string.h>
#include <unistd.h>

#include <string>

#include "convert/codec.h"
#include "convert/convert.h"
#include "convert/wav.h"
#include "fuzz/fuzz_common.h"
#include "platform/platform.h"
#include "report/report.h"
#include "settings/settings.h"

static std::string input_path, output_path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzConversionFiles("in.bin", "out.wav", &input_path, &output_path);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t flags;
  if (!FuzzTake(&data, &size, &flags, 1)) return 0;
  ResetSettings();
  eightbit = flags & 1;
  play_after_conversion = (flags >> 1) & 1;
  double any_rate;
  uint32_t whole_rate;
  if (flags & 4) {
    if (!FuzzTake(&data, &size, &any_rate, sizeof any_rate)) return 0;
    sample_rate = any_rate;
  } else if (flags & 8) {
    if (!FuzzTake(&data, &size, &whole_rate, sizeof whole_rate)) return 0;
    sample_rate = whole_rate;
  }
  const double rate_given = sample_rate;
  WriteWhole(input_path, data, size);
  unlink(output_path.c_str());

  HeadlessReset();
  EraseTextBuffer();
  uint32_t result = ConvertDMXtoWAV();

  std::string input, wav;
  FUZZ_CHECK(ReadWhole(input_path, &input) && input.size() == size &&
                 memcmp(input.data(), data, size) == 0,
             "the input file changed");
  FUZZ_CHECK(textlines >= 3, "only %d lines", textlines);
  bool finished = false;
  for (int i = 0; i < textlines; i++) finished |= strcmp(textline[i], "Finished.") == 0;
  FUZZ_CHECK(finished == (conversion_outcome == OUTCOME_FINISHED), "\"Finished.\" for outcome %d",
             conversion_outcome);
  if (!finished) {
    // A refusal: the rate, or an image too long for a header.
    const char* last = textline[textlines - 1];
    FUZZ_CHECK(strncmp(last, "Sample rate too high", 20) == 0 ||
                   strncmp(last, "Input file too long", 19) == 0,
               "refused without saying why: \"%s\"", last);
    FUZZ_CHECK(result == 1 || conversion_outcome == OUTCOME_REJECTED, "result %u", (unsigned)result);
    return 0;
  }

  FUZZ_CHECK(result == 0, "result %u", (unsigned)result);
  FUZZ_CHECK(rate_given >= 1.0 || sample_rate == 24000.0, "rate %g not replaced", rate_given);
  FUZZ_CHECK(sample_rate >= 1.0 && sample_rate < 2147483648.0, "rate %g used", sample_rate);
  if (play_after_conversion)
    FUZZ_CHECK(strcmp(last_played_file, output_filename) == 0 && HeadlessSoundCount() == 1,
               "output not played");

  FUZZ_CHECK(ReadWhole(output_path, &wav), "no output file");
  uint32_t b = eightbit ? 1 : 2, n = (uint32_t)size, r = (uint32_t)sample_rate;
  FUZZ_CHECK(wav.size() == WAV_HEADER_SIZE + (size_t)n * b, "%zu bytes for %u samples of %u",
             wav.size(), n, b);
  const uint8_t* h = (const uint8_t*)wav.data();
  FUZZ_CHECK(memcmp(h, "RIFF", 4) == 0 && memcmp(h + 8, "WAVEfmt ", 8) == 0 &&
                 memcmp(h + 36, "data", 4) == 0,
             "tags");
  FUZZ_CHECK(get_u32le(h + 4) == wav.size() - 8, "RIFF size %u", get_u32le(h + 4));
  FUZZ_CHECK(get_u32le(h + 16) == 16 && get_u16le(h + 20) == 1 && get_u16le(h + 22) == 1,
             "format chunk");
  FUZZ_CHECK(get_u32le(h + 24) == r && get_u32le(h + 28) == r * b, "rate %u for %g",
             get_u32le(h + 24), sample_rate);
  FUZZ_CHECK(get_u16le(h + 32) == b && get_u16le(h + 34) == 8 * b, "frame size");
  FUZZ_CHECK(get_u32le(h + 40) == n * b, "data size %u", get_u32le(h + 40));
  for (uint32_t i = 0; i < n; i++) {
    int32_t v = b == 2 ? sign_extend(get_u16le(h + 44 + 2 * i)) : h[44 + i] - 128;
    FUZZ_CHECK(v == u255lawToLinear(data[i], b == 2 ? 32767 : 127), "sample %u", i);
  }
  return 0;
}
