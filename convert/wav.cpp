#include "convert/wav.h"

#include <string.h>

#include "report/report.h"

char editstr[EDITSTR_SIZE];

uint16_t get_u16le(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }

uint32_t get_u32le(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) |
         ((uint32_t)p[3] << 24);
}

void put_u16le(uint8_t* p, uint16_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
}

void put_u32le(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)v;
  p[1] = (uint8_t)(v >> 8);
  p[2] = (uint8_t)(v >> 16);
  p[3] = (uint8_t)(v >> 24);
}

static void write_chunk_header(FILE* op, const char* name, uint32_t size) {
  uint8_t rec[CHUNKHDR_SIZE];
  memcpy(rec, name, 4);
  put_u32le(rec + 4, size);
  fwrite(rec, 1, sizeof rec, op);
}

void WriteWAVHeader(FILE* op, int32_t n, int bytes_per_sample, double rate) {
  uint32_t r = (uint32_t)rate;
  uint32_t b = (uint32_t)bytes_per_sample;
  uint32_t data_size = (uint32_t)n * b;

  // The RIFF header is written as a chunk header named "RIFF" followed by
  // the form type.
  write_chunk_header(op, "RIFF", 36 + data_size);
  fwrite("WAVE", 1, 4, op);
  write_chunk_header(op, "fmt ", 16);

  uint8_t fmt[WAVEFMT_SIZE];
  put_u16le(fmt + 0, 1);
  put_u16le(fmt + 2, 1);
  put_u32le(fmt + 4, r);
  put_u32le(fmt + 8, r * b);
  put_u16le(fmt + 12, (uint16_t)b);
  fwrite(fmt, 1, sizeof fmt, op);

  uint8_t pcm[PCMFMT_SIZE];
  put_u16le(pcm, (uint16_t)(8 * b));
  fwrite(pcm, 1, sizeof pcm, op);

  write_chunk_header(op, "data", data_size);
}

// The body is read, not seeked over: a seek would never set the end-of-file
// indicator, and the walk relies on a skip that runs into the end of the
// file setting it. Reading a block at a time leaves the stream exactly where
// a byte at a time would, since no more than the body is asked for.
void flush_chunk(FILE* ip, int32_t i) {
  if (i <= 0) return;
  int64_t count = (int64_t)i + (i & 1);
  uint8_t skipped[8192];
  while (count > 0) {
    size_t want = count < (int64_t)sizeof skipped ? (size_t)count : sizeof skipped;
    size_t got = fread(skipped, 1, want, ip);
    count -= (int64_t)got;
    if (got < want) break;
  }
}

// Chunk names are matched without regard to case ("FMT " is a format chunk).
static int same_name(const char* a, const char* b) {
  for (;; a++, b++) {
    char ca = (*a >= 'A' && *a <= 'Z') ? (char)(*a - 'A' + 'a') : *a;
    char cb = (*b >= 'A' && *b <= 'Z') ? (char)(*b - 'A' + 'a') : *b;
    if (ca != cb) return 0;
    if (ca == 0) return 1;
  }
}

static int read_record(FILE* ip, uint8_t* rec, size_t size) {
  return fread(rec, 1, size, ip) == size;
}

int WalkWAVChunks(FILE* ip, DataStep step) {
  int header_detected = 0;
  struct WAVEfmt fmt;
  memset(&fmt, 0, sizeof fmt);
  uint16_t bits = 0;
  uint8_t rec[16];  // the largest record read here is WAVEfmt, 14 bytes

  if (!read_record(ip, rec, RIFFHDR_SIZE)) {
    EarlyTermMsg();
    return WALK_ENDED;
  }
  struct RIFFhdr riff;
  memcpy(riff.IDstr, rec, 4);
  riff.RIFFsize = get_u32le(rec + 4);
  memcpy(riff.TypeStr, rec + 8, 4);
  if (memcmp(riff.IDstr, "RIFF", 4) != 0) {
    ReportLine("Not a RIFF file");
    return WALK_REJECTED;
  }
  if (memcmp(riff.TypeStr, "WAVE", 4) != 0) {
    ReportLine("Unknown RIFF type (not a WAVE file)");
    return WALK_REJECTED;
  }

  while (!feof(ip)) {
    if (!read_record(ip, rec, CHUNKHDR_SIZE)) {
      EarlyTermMsg();
      return WALK_ENDED;
    }
    struct CHUNKhdr chunk;
    memcpy(chunk.Cname, rec, 4);
    chunk.Csize = get_u32le(rec + 4);
    int32_t size = (int32_t)chunk.Csize;

    // The name is the tag up to its first zero byte: a tag holding a zero
    // byte never matches "fmt " or "data".
    memcpy(editstr, chunk.Cname, 4);
    editstr[4] = 0;
    ReportPrintf("Processing chunk... %s, %ld bytes", editstr, (long)size);

    if (same_name(editstr, "fmt ")) {
      if (!read_record(ip, rec, WAVEFMT_SIZE)) {
        EarlyTermMsg();
        return WALK_REJECTED;
      }
      struct WAVEfmt f;
      f.wFormatTag = get_u16le(rec + 0);
      f.wChannels = get_u16le(rec + 2);
      f.wSamplesPerSec = get_u32le(rec + 4);
      f.wAvgBytesPerSec = get_u32le(rec + 8);
      f.wBlockAlign = get_u16le(rec + 12);
      if (f.wFormatTag != 1 || f.wChannels < 1 || f.wChannels > 2) {
        ReportLine("Unknown audio format.");
        return WALK_REJECTED;
      }
      if (!read_record(ip, rec, PCMFMT_SIZE)) {
        EarlyTermMsg();
        return WALK_REJECTED;
      }
      struct PCMfmt pcm;
      pcm.wBitsPerSample = get_u16le(rec);
      ReportPrintf("%d bit data, Channels = %d", (int)pcm.wBitsPerSample, (int)f.wChannels);
      fmt = f;
      bits = pcm.wBitsPerSample;
      header_detected = 1;
      // A body declared shorter than 16 bytes has still been read as 16.
      flush_chunk(ip, size > 16 ? size - 16 : 0);
    } else if (same_name(editstr, "data")) {
      if (header_detected) {
        if (step(ip, size, &fmt, bits) != DATA_GO_ON) return WALK_REJECTED;
      } else {
        ReportLine("No header detected before data!");
        flush_chunk(ip, size);
      }
    } else {
      ReportLine("(Ignoring chunk)");
      flush_chunk(ip, size);
    }
  }
  return WALK_ENDED;
}
