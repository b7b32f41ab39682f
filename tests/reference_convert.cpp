#include "reference_convert.h"

#include <stdio.h>
#include <string.h>

#include "convert/codec.h"
#include "convert/convert.h"
#include "convert/wav.h"
#include "platform/platform.h"
#include "report/report.h"

// ---------------------------------------------------------------- WAV to image

static uint8_t frame[65536];  // holds any frame a 16-bit block align allows
static int pass;
static int32_t peak;
static int32_t newpeak;
static int64_t n_outs;
static FILE* output;

static void skip_body(FILE* ip, int32_t size) {
  if (size <= 0) return;
  int64_t count = (int64_t)size + (size & 1);
  while (count > 0 && getc(ip) != EOF) count--;
}

static int32_t frame_sample(unsigned channels, unsigned bits) {
  int32_t l, r;
  if (bits <= 8) {
    l = ((int32_t)frame[0] - 128) * 256;
    r = ((int32_t)frame[1] - 128) * 256;
  } else {
    l = sign_extend((uint16_t)(frame[0] | (frame[1] << 8)));
    r = sign_extend((uint16_t)(frame[2] | (frame[3] << 8)));
  }
  return channels == 1 ? l : (l + r) / 2;
}

// One "data" chunk: an optional measuring pass, then the output pass.
static int data_chunk(FILE* ip, int32_t size, unsigned channels, unsigned align,
                      unsigned bits) {
  if (bits < 1 || bits > 16) {
    ReportPrintf("Unsupported sample size: %u bits (8 or 16 bit PCM only).", bits);
    return 0;
  }
  unsigned needed = channels * (bits <= 8 ? 1u : 2u);
  if (align != 0 && align < needed) {
    ReportPrintf("Frame size of %u bytes too small for %u channel(s) of %u bits.", align,
                 channels, bits);
    return 0;
  }
  pass &= 1;
  int64_t dstart = PlatformTell(ip);
  while (pass < 2) {
    int64_t remaining = size;
    // The count divides the signed size: a negative size gives a negative count.
    if (pass == 1) ReportPrintf("Input file: %ld samples.", (long)(size / (int32_t)((bits + 7) / 8)));
    newpeak = 0;
    int32_t scale = peak != 0 ? peak : 32768;
    while (!feof(ip) && remaining > 0) {
      if (align == 0 || fread(frame, 1, align, ip) != align) {
        EarlyTermMsg();
        return 0;
      }
      remaining -= align;
      int32_t s = frame_sample(channels, bits);
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
      return 0;
    }
    pass++;
  }
  ReportPrintf("Output: %ld samples.", (long)n_outs);
  ReportPrintf("Peak audio value = %ld", (long)newpeak);
  if (mu_law == 0) ReportLine("Output format: Linear offset");
  return 1;
}

static int same_name_nocase(const char* a, const char* b) {
  for (; *a && *b; a++, b++) {
    char ca = (*a >= 'A' && *a <= 'Z') ? (char)(*a + 32) : *a;
    char cb = (*b >= 'A' && *b <= 'Z') ? (char)(*b + 32) : *b;
    if (ca != cb) return 0;
  }
  return *a == *b;
}

// Returns 1 when the walk reached the end of the file, 0 when it rejected it.
static int walk(FILE* ip) {
  uint8_t h[16];
  if (fread(h, 1, 12, ip) != 12) {
    EarlyTermMsg();
    return 1;
  }
  if (memcmp(h, "RIFF", 4) != 0) {
    ReportLine("Not a RIFF file");
    return 0;
  }
  if (memcmp(h + 8, "WAVE", 4) != 0) {
    ReportLine("Unknown RIFF type (not a WAVE file)");
    return 0;
  }
  int have_format = 0;
  unsigned channels = 0, align = 0, bits = 0;
  while (!feof(ip)) {
    if (fread(h, 1, 8, ip) != 8) {
      EarlyTermMsg();
      return 1;
    }
    int32_t size = (int32_t)get_u32le(h + 4);
    char name[5];
    memcpy(name, h, 4);
    name[4] = 0;
    ReportPrintf("Processing chunk... %s, %ld bytes", name, (long)size);
    if (same_name_nocase(name, "fmt ")) {
      if (fread(h, 1, 14, ip) != 14) {
        EarlyTermMsg();
        return 0;
      }
      unsigned tag = get_u16le(h), ch = get_u16le(h + 2);
      if (tag != 1 || ch < 1 || ch > 2) {
        ReportLine("Unknown audio format.");
        return 0;
      }
      unsigned block_align = get_u16le(h + 12);
      if (fread(h, 1, 2, ip) != 2) {
        EarlyTermMsg();
        return 0;
      }
      bits = get_u16le(h);
      channels = ch;
      align = block_align;
      ReportPrintf("%d bit data, Channels = %d", (int)bits, (int)channels);
      have_format = 1;
      skip_body(ip, size > 16 ? size - 16 : 0);
    } else if (same_name_nocase(name, "data")) {
      if (have_format) {
        if (!data_chunk(ip, size, channels, align, bits)) return 0;
      } else {
        ReportLine("No header detected before data!");
        skip_body(ip, size);
      }
    } else {
      ReportLine("(Ignoring chunk)");
      skip_body(ip, size);
    }
  }
  return 1;
}

uint32_t ReferenceWAVToDMX(void) {
  conversion_outcome = OUTCOME_NOT_STARTED;
  n_outs = 0;
  peak = 32768;
  pass = autoscale ? 0 : 1;
  ReportPrintf("Input file: %s", dmxfilename);
  ReportPrintf("Output file: %s", output_filename);
  FILE* ip = fopen(dmxfilename, "rb");
  if (!ip) {
    ReportPrintf("Unable to open input file: %s", dmxfilename);
    return 1;
  }
  if (SameFile(dmxfilename, output_filename)) {
    ReportPrintf("Output file is the input file: %s", output_filename);
    fclose(ip);
    return 1;
  }
  output = fopen(output_filename, "wb");
  if (!output) {
    ReportPrintf("Unable to open output file: %s", output_filename);
    fclose(ip);
    return 1;
  }
  int ended = walk(ip);
  fclose(ip);
  int write_failed = ferror(output) != 0;
  if (fclose(output) != 0) write_failed = 1;
  if (write_failed) {
    ReportPrintf("Unable to write the whole output file: %s", output_filename);
    conversion_outcome = OUTCOME_WRITE_FAILED;
    return 1;
  }
  if (!ended) {
    conversion_outcome = OUTCOME_REJECTED;
    return 0;
  }
  ReportLine("Finished.");
  conversion_outcome = OUTCOME_FINISHED;
  return 0;
}

// ---------------------------------------------------------------- image to WAV

uint32_t ReferenceDMXtoWAV(void) {
  conversion_outcome = OUTCOME_NOT_STARTED;
  ReportPrintf("Input file: %s", dmxfilename);
  ReportPrintf("Output file: %s", output_filename);
  FILE* ip = fopen(dmxfilename, "rb");
  if (!ip) {
    ReportPrintf("Unable to open input file: %s", dmxfilename);
    return 1;
  }
  if (SameFile(dmxfilename, output_filename)) {
    ReportPrintf("Output file is the input file: %s", output_filename);
    fclose(ip);
    return 1;
  }
  FILE* op = fopen(output_filename, "wb");
  if (!op) {
    ReportPrintf("Unable to open output file: %s", output_filename);
    fclose(ip);
    return 1;
  }
  int64_t length = -1;
  if (PlatformSeek(ip, 0, SEEK_END) == 0) length = PlatformTell(ip);
  if (length < 0 || PlatformSeek(ip, 0, SEEK_SET) != 0) {
    ReportPrintf("Unable to determine length of input file: %s", dmxfilename);
    fclose(ip);
    fclose(op);
    return 1;
  }
  if (sample_rate < 1.0) sample_rate = 24000.0;
  if (!(sample_rate < 2147483648.0)) {
    ReportLine("Sample rate too high for a WAV file (at most 2147483647 Hz).");
    fclose(ip);
    fclose(op);
    return 1;
  }
  int bytes_per_sample = eightbit ? 1 : 2;
  if (length > INT32_MAX || length * bytes_per_sample > 0xFFFFFFFFLL - 36) {
    ReportPrintf("Input file too long for a WAV file: %s", dmxfilename);
    fclose(ip);
    fclose(op);
    conversion_outcome = OUTCOME_REJECTED;
    return 0;
  }
  int32_t number_of_samples = (int32_t)length;
  ReportPrintf("Input file length = %ld", (long)number_of_samples);
  ReportPrintf("Sample rate = %.0f Hz, duration = %.3f seconds", sample_rate,
               number_of_samples / sample_rate);
  WriteWAVHeader(op, number_of_samples, bytes_per_sample, sample_rate);
  int32_t converted = 0;
  int c;
  while (converted < number_of_samples && (c = getc(ip)) != EOF) {
    if (bytes_per_sample == 2) {
      int32_t v = u255lawToLinear(c, 32767);
      putc(v & 0xFF, op);
      putc((v >> 8) & 0xFF, op);
    } else {
      putc(u255lawToLinear(c, 127) + 128, op);
    }
    converted++;
  }
  int read_failed = converted < number_of_samples;
  fclose(ip);
  int write_failed = ferror(op) != 0;
  if (fclose(op) != 0) write_failed = 1;
  if (read_failed) ReportPrintf("Unable to read the whole input file: %s", dmxfilename);
  if (write_failed) ReportPrintf("Unable to write the whole output file: %s", output_filename);
  if (read_failed || write_failed) {
    conversion_outcome = write_failed ? OUTCOME_WRITE_FAILED : OUTCOME_REJECTED;
    return write_failed ? 1 : 0;
  }
  ReportLine("Finished.");
  conversion_outcome = OUTCOME_FINISHED;
  if (play_after_conversion) {
    strcpy(last_played_file, output_filename);
    ReportPrintf("Playing file: %s", last_played_file);
    config_edit = 1;
  }
  return 0;
}
