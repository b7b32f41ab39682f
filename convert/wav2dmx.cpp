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
static uint8_t* sampbuf;      // the frame buffer: frames of unusual layout are decoded from it
static size_t sampbuf_size;
static int pass;              // 0 measures, 1 writes
static int32_t peak;          // the linear value that maps to full scale
static int32_t newpeak;       // largest magnitude met in the current pass
static int64_t n_outs;        // codes written over all data chunks
static FILE* output;
static int out_of_memory;     // the walk stopped for want of memory, not bad input

// The data is read a block of frames at a time and written a block of codes
// at a time; a stdio call per frame would cost more than the conversion.
enum { BLOCK_FRAMES = 32768, BLOCK_BYTES = 131072 };
static uint8_t block[BLOCK_BYTES];
static int16_t samples[BLOCK_FRAMES];  // decoded frames, before any inversion
static uint8_t codes[BLOCK_FRAMES];
// The code of every sample at the scale of the current output pass.
static uint8_t code_of[ENCODE_TABLE_SIZE];

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

// A 16-bit word of the file. WAV words are little-endian, like the machines
// this runs on, where the word is taken as it lies in memory; the compiler
// can then handle many at once.
static inline int32_t word_at(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return sign_extend(get_u16le(p));
#else
  int16_t w;
  memcpy(&w, p, sizeof w);
  return w;
#endif
}

// Keeps one decoded sample and widens the extremes met so far. Every sample
// fits 16 bits, and extremes in 16 bits rather than a 32-bit magnitude let
// the compiler handle many samples at once.
static inline void take(int32_t s, size_t i, int keep, int16_t* hi, int16_t* lo) {
  int16_t s16 = (int16_t)s;
  if (keep) samples[i] = s16;
  *hi = s16 > *hi ? s16 : *hi;
  *lo = s16 < *lo ? s16 : *lo;
}

// Decodes n frames of `align` bytes from `in`, as decode_frame does, into
// samples[] when `keep` is set, and returns the largest magnitude among
// them. Frames that hold exactly their samples, as nearly every file has
// them, get loops of their own that the compiler can keep tight.
static int32_t decode_block(const uint8_t* in, size_t n, unsigned align, unsigned channels,
                            unsigned bits, int keep) {
  int16_t hi = 0, lo = 0;
  if (bits <= 8 && channels == 1 && align == 1) {
    for (size_t i = 0; i < n; i++) take(((int32_t)in[i] - 128) * 256, i, keep, &hi, &lo);
  } else if (bits <= 8 && channels == 2 && align == 2) {
    for (size_t i = 0; i < n; i++)
      take((((int32_t)in[2 * i] - 128) * 256 + ((int32_t)in[2 * i + 1] - 128) * 256) / 2, i, keep,
           &hi, &lo);
  } else if (bits > 8 && channels == 1 && align == 2) {
    for (size_t i = 0; i < n; i++) take(word_at(in + 2 * i), i, keep, &hi, &lo);
  } else if (bits > 8 && channels == 2 && align == 4) {
    for (size_t i = 0; i < n; i++)
      take((word_at(in + 4 * i) + word_at(in + 4 * i + 2)) / 2, i, keep, &hi, &lo);
  } else {
    for (size_t i = 0; i < n; i++) {
      memcpy(sampbuf, in + i * align, align);
      take(decode_frame(channels, bits), i, keep, &hi, &lo);
    }
  }
  return hi > -(int32_t)lo ? hi : -(int32_t)lo;
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
      out_of_memory = 1;
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
  unsigned channels = fmt->wChannels;
  size_t per_block = align == 0 ? 1 : BLOCK_BYTES / align;
  if (per_block > BLOCK_FRAMES) per_block = BLOCK_FRAMES;

  pass &= 1;
  int64_t dstart = PlatformTell(ip);
  while (pass < 2) {
    if (pass == 1) ReportPrintf("Input file: %ld samples.", (long)(size / ((bits + 7) / 8)));
    newpeak = 0;
    // A scale of 0 (a silent chunk was measured) would divide by zero; such
    // a chunk is encoded and reported against the full 16-bit scale instead,
    // which gives silence codes and 100 % headroom.
    int32_t scale = peak != 0 ? peak : FULL_SCALE;
    if (pass == 1) BuildEncodeTable(code_of, scale, mu_law == 1);

    // The chunk is read one whole frame at a time: a size that is not a
    // multiple of the frame reads the last frame past the chunk's end, and
    // the walk goes on from there. Asking for exactly those frames and no
    // more leaves the stream where reading frame by frame would: the
    // end-of-file indicator gets set only when the file ends inside one of
    // them, and then the chunk is rejected anyway.
    if (size > 0 && align == 0 && !feof(ip)) {
      EarlyTermMsg();  // a frame of no bytes can never be read whole
      return DATA_REJECT;
    }
    int64_t frames = size > 0 && align > 0 ? ((int64_t)size + align - 1) / align : 0;
    while (!feof(ip) && frames > 0) {
      size_t want = frames < (int64_t)per_block ? (size_t)frames : per_block;
      size_t got = fread(block, align, want, ip);
      frames -= (int64_t)got;
      // The magnitude is taken before any inversion.
      int32_t highest = decode_block(block, got, align, channels, bits, pass == 1);
      if (highest > newpeak) newpeak = highest;
      if (pass == 1) {
        // Inversion turns -32768 into 32768, which the table covers.
        const uint8_t* code_at = code_of + ENCODE_TABLE_BIAS;
        if (invert)
          for (size_t i = 0; i < got; i++) codes[i] = code_at[-samples[i]];
        else
          for (size_t i = 0; i < got; i++) codes[i] = code_at[samples[i]];
        fwrite(codes, 1, got, output);
        n_outs += (int64_t)got;
      }
      // The codes of the whole frames before a cut-off frame stay written.
      if (got < want) {
        EarlyTermMsg();
        return DATA_REJECT;
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
  out_of_memory = 0;
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
    conversion_outcome = out_of_memory ? OUTCOME_NOT_STARTED : OUTCOME_REJECTED;
    return out_of_memory ? 1 : 0;
  }
  ReportLine("Finished.");
  InvalidateRect(MyWindow, NULL, TRUE);
  conversion_outcome = OUTCOME_FINISHED;
  return 0;
}
