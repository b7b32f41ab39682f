#include "tests/support/reference_convert.h"

#include <stdio.h>

#include "convert/codec.h"
#include "convert/convert.h"
#include "convert/wav.h"
#include "report/report.h"

static uint8_t frame[65536];  // holds any frame a 16-bit block align allows
static int pass;
static int32_t peak;
static int64_t n_outs;
static FILE* output;

static int32_t frame_sample(unsigned channels, unsigned bits) {
  int32_t l, r;
  if (bits <= 8) {
    l = ((int32_t)frame[0] - 128) * 256;
    r = ((int32_t)frame[1] - 128) * 256;
  } else {
    l = (int16_t)(frame[0] | (frame[1] << 8));
    r = (int16_t)(frame[2] | (frame[3] << 8));
  }
  return channels == 1 ? l : (l + r) / 2;
}

// One "data" chunk: an optional measuring pass, then the output pass.
static int data_chunk(FILE* ip, int32_t size, const struct WAVEfmt* fmt, uint16_t bits) {
  unsigned channels = fmt->wChannels, align = fmt->wBlockAlign;
  if (bits < 1 || bits > 16) {
    ReportPrintf("Unsupported sample size: %u bits (8 or 16 bit PCM only).", (unsigned)bits);
    return DATA_REJECT;
  }
  if (align != 0 && align < channels * (bits <= 8 ? 1u : 2u)) {
    ReportPrintf("Frame size of %u bytes too small for %u channel(s) of %u bits.", align,
                 channels, (unsigned)bits);
    return DATA_REJECT;
  }
  pass &= 1;
  long dstart = ftell(ip);
  int32_t newpeak = 0;
  for (; pass < 2; pass++) {
    // The count divides the signed size: a negative size gives a negative count.
    if (pass == 1) ReportPrintf("Input file: %ld samples.", (long)(size / ((bits + 7) / 8)));
    int32_t scale = peak != 0 ? peak : 32768;
    newpeak = 0;
    for (int64_t left = size; !feof(ip) && left > 0; left -= align) {
      if (align == 0 || fread(frame, 1, align, ip) != align) {
        EarlyTermMsg();
        return DATA_REJECT;
      }
      int32_t s = frame_sample(channels, bits);
      int32_t magnitude = s < 0 ? -s : s;
      if (magnitude > newpeak) newpeak = magnitude;
      if (invert) s = -s;
      if (pass == 1) {
        putc(mu_law == 1 ? LinearTo_u255law(s, scale) : linear(s, scale), output);
        n_outs++;
      }
    }
    ReportPrintf("Pass %d: Unused audio headroom = %2d%%", pass,
                 (int)((scale - newpeak) * 100 / scale));
    peak = newpeak;
    if (pass == 0) fseek(ip, dstart, SEEK_SET);
  }
  ReportPrintf("Output: %ld samples.", (long)n_outs);
  ReportPrintf("Peak audio value = %ld", (long)newpeak);
  if (mu_law == 0) ReportLine("Output format: Linear offset");
  return DATA_GO_ON;
}

uint32_t ReferenceWAVToDMX(void) {
  ShowWaitCursor();
  n_outs = 0;
  peak = 32768;
  pass = autoscale ? 0 : 1;
  ReportPrintf("Input file: %s", dmxfilename);
  ReportPrintf("Output file: %s", output_filename);
  FILE* ip = fopen(dmxfilename, "rb");
  output = fopen(output_filename, "wb");
  if (!ip || !output) {
    if (ip) fclose(ip);
    if (output) fclose(output);
    RestoreCursor();
    conversion_outcome = OUTCOME_NOT_STARTED;
    return 1;
  }
  int walk = WalkWAVChunks(ip, data_chunk);
  fclose(ip);
  fclose(output);
  RestoreCursor();
  conversion_outcome = walk == WALK_ENDED ? OUTCOME_FINISHED : OUTCOME_REJECTED;
  if (walk == WALK_ENDED) ReportLine("Finished.");
  return 0;
}
