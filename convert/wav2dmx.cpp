// WAV file to EPROM image: one 8-bit code per sample frame of the "data"
// chunk, stereo mixed to one channel, optionally inverted, and either left at
// the WAV file's own full scale or scaled so the loudest frame uses the whole
// range of the code.
#include <stdio.h>
#include <string.h>

#include "convert/codec.h"
#include "convert/convert.h"
#include "convert/wav.h"
#include "platform/platform.h"
#include "report/report.h"

enum { FRAME_BUFFER = 16 };
static const int32_t FULL_SCALE = 32768;

// Values of one conversion, shared by its data chunks.
static uint8_t* sampbuf;      // the frame buffer: each frame read lands at its start
static size_t sampbuf_size;
static int pass;              // 0 measures, 1 writes
static int32_t peak;          // the linear value that maps to full scale
static int32_t newpeak;       // largest magnitude met in the current pass
static int64_t n_outs;        // codes written over all data chunks
static FILE* output;

// Decodes the frame at the start of sampbuf into one linear sample on a
// 16-bit scale. Stereo is mixed by halving the sum, truncating toward zero.
static int32_t decode_frame(unsigned channels, unsigned bits) {
  if (bits <= 8) {
    int32_t l = ((int32_t)sampbuf[0] - 128) * 256;
    if (channels == 1) return l;
    int32_t r = ((int32_t)sampbuf[1] - 128) * 256;
    return (l + r) / 2;
  }
  int32_t l = sign_extend(get_u16le(sampbuf));
  if (channels == 1) return l;
  int32_t r = sign_extend(get_u16le(sampbuf + 2));
  return (l + r) / 2;
}

// Formats this program cannot turn into codes sensibly are refused before a
// byte of their data is read: sample widths other than 1 to 16 bits (a
// 24-bit sample read as 16 would be noise, not sound), and frames too short
// to hold the samples the decoding reads.
static int format_usable(const struct WAVEfmt* fmt, unsigned bits) {
  if (bits < 1 || bits > 16) {
    ReportPrintf("Unsupported sample size: %u bits (8 or 16 bit PCM only).", bits);
    return 0;
  }
  unsigned needed = fmt->wChannels * (bits <= 8 ? 1u : 2u);
  if (fmt->wBlockAlign != 0 && fmt->wBlockAlign < needed) {
    ReportPrintf("Frame size of %u bytes too small for %u channel(s) of %u bits.",
                 (unsigned)fmt->wBlockAlign, (unsigned)fmt->wChannels, bits);
    return 0;
  }
  // Frames wider than the buffer (up to 65535 bytes) get a buffer to match.
  if (fmt->wBlockAlign > sampbuf_size) {
    uint8_t* wider = (uint8_t*)PlatformRealloc(sampbuf, fmt->wBlockAlign);
    if (!wider) {
      ReportLine("Not enough memory for a frame of this file.");
      return 0;
    }
    sampbuf = wider;
    sampbuf_size = fmt->wBlockAlign;
  }
  return 1;
}

static int data_step(FILE* ip, int32_t size, const struct WAVEfmt* fmt, uint16_t bits) {
  if (!format_usable(fmt, bits)) return DATA_REJECT;
  unsigned align = fmt->wBlockAlign;

  pass &= 1;
  int64_t dstart = PlatformTell(ip);
  while (pass < 2) {
    int64_t remaining = size;
    if (pass == 1) ReportPrintf("Input file: %ld samples.", (long)(size / ((bits + 7) / 8)));
    newpeak = 0;
    // A scale of 0 (a silent chunk was measured) would divide by zero; such
    // a chunk is encoded and reported against the full 16-bit scale instead,
    // which gives silence codes and 100 % headroom.
    int32_t scale = peak != 0 ? peak : FULL_SCALE;
    while (!feof(ip) && remaining > 0) {
      if (align == 0 || fread(sampbuf, 1, align, ip) != align) {
        EarlyTermMsg();
        return DATA_REJECT;
      }
      remaining -= align;
      int32_t s = decode_frame(fmt->wChannels, bits);
      int32_t magnitude = s < 0 ? -s : s;
      if (magnitude > newpeak) newpeak = magnitude;
      if (invert) s = -s;
      if (pass == 1) {
        int code = mu_law == 1 ? LinearTo_u255law(s, scale) : linear(s, scale);
        putc(code & 0xFF, output);
        n_outs++;
      }
    }
    ReportPrintf("Pass %d: Unused audio headroom = %2d%%", pass,
                 (int)((scale - newpeak) * 100 / scale));
    peak = newpeak;
    if (pass == 0 && PlatformSeek(ip, dstart, SEEK_SET) != 0) {
      ReportLine("Unable to go back to the start of the data.");
      return DATA_REJECT;
    }
    pass++;
  }
  ReportPrintf("Output: %ld samples.", (long)n_outs);
  ReportPrintf("Peak audio value = %ld", (long)newpeak);
  if (mu_law == 0) ReportLine("Output format: Linear offset");
  return DATA_GO_ON;
}

static uint32_t stop_early(FILE* ip) {
  if (ip) fclose(ip);
  PlatformFree(sampbuf);
  sampbuf = NULL;
  RestoreCursor();
  conversion_outcome = OUTCOME_NOT_STARTED;
  return 1;
}

uint32_t ConvertWAVToDMX(void) {
  conversion_outcome = OUTCOME_NOT_STARTED;
  n_outs = 0;
  peak = FULL_SCALE;
  pass = autoscale ? 0 : 1;
  ShowWaitCursor();

  sampbuf = (uint8_t*)PlatformAlloc(FRAME_BUFFER);
  if (!sampbuf) return stop_early(NULL);
  sampbuf_size = FRAME_BUFFER;
  // Frames shorter than the decoding reads are refused, so these bytes are
  // never decoded; they are cleared all the same.
  memset(sampbuf, 0, FRAME_BUFFER);

  ReportPrintf("Input file: %s", dmxfilename);
  ReportPrintf("Output file: %s", output_filename);

  FILE* ip = fopen(dmxfilename, "rb");
  if (!ip) {
    ReportPrintf("Unable to open input file: %s", dmxfilename);
    return stop_early(NULL);
  }
  // Opening the output would empty it; never do that to the input itself.
  if (SameFile(dmxfilename, output_filename)) {
    ReportPrintf("Output file is the input file: %s", output_filename);
    return stop_early(ip);
  }
  output = fopen(output_filename, "wb");
  if (!output) {
    ReportPrintf("Unable to open output file: %s", output_filename);
    return stop_early(ip);
  }

  int walk = WalkWAVChunks(ip, data_step);

  // The walk takes a failed read for the end of the file; an image cut
  // short by a read error must not pass for a finished one.
  int read_failed = ferror(ip) != 0;
  fclose(ip);
  int write_failed = ferror(output) != 0;
  if (fclose(output) != 0) write_failed = 1;
  output = NULL;
  RestoreCursor();
  PlatformFree(sampbuf);
  sampbuf = NULL;

  if (read_failed) ReportPrintf("Unable to read the whole input file: %s", dmxfilename);
  if (write_failed) ReportPrintf("Unable to write the whole output file: %s", output_filename);
  if (read_failed || write_failed) {
    InvalidateRect(MyWindow, NULL, TRUE);
    conversion_outcome = write_failed ? OUTCOME_WRITE_FAILED : OUTCOME_REJECTED;
    return write_failed ? 1 : 0;
  }
  if (walk == WALK_REJECTED) {
    conversion_outcome = OUTCOME_REJECTED;
    return 0;
  }
  ReportLine("Finished.");
  InvalidateRect(MyWindow, NULL, TRUE);
  conversion_outcome = OUTCOME_FINISHED;
  return 0;
}
