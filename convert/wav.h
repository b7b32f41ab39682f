// The WAV (RIFF/WAVE) file as this program reads and writes it: the fixed
// records, the 44-byte header of a mono PCM file, and the chunk walk that
// finds the format and the samples of an input file.
//
// Records are packed and little-endian on disk. Each is read or written whole
// (one call for its exact number of bytes) and its fields are taken apart
// with the get/put helpers, so nothing depends on the compiler's layout.
#pragma once

#include <stdint.h>
#include <stdio.h>

#define EDITSTR_SIZE 128
// Shared text buffer: the current chunk name during a walk, the rate text in
// the rate dialog. The two uses never overlap.
extern char editstr[EDITSTR_SIZE];

struct RIFFhdr {        // 12 bytes at offset 0
  char IDstr[4];        // "RIFF"
  uint32_t RIFFsize;    // bytes after this field; ignored when reading
  char TypeStr[4];      // "WAVE"
};

struct CHUNKhdr {       // 8 bytes
  char Cname[4];
  uint32_t Csize;       // body bytes, not counting the pad byte
};

struct WAVEfmt {        // the first 14 bytes of a "fmt " body
  uint16_t wFormatTag;  // 1 = PCM, the only encoding accepted
  uint16_t wChannels;
  uint32_t wSamplesPerSec;
  uint32_t wAvgBytesPerSec;
  uint16_t wBlockAlign; // bytes per frame, all channels together
};

struct PCMfmt {         // the 2 bytes after WAVEfmt
  uint16_t wBitsPerSample;
};

// One sample frame of a "data" chunk, as the reader sees it.
struct DATAfmt16 {      // 4 bytes
  uint16_t left_channel;   // two's complement
  uint16_t right_channel;
};
struct DATAfmt8 {       // 2 bytes
  uint8_t left_channel;    // offset binary, 128 is silence
  uint8_t right_channel;
};

enum { RIFFHDR_SIZE = 12, CHUNKHDR_SIZE = 8, WAVEFMT_SIZE = 14, PCMFMT_SIZE = 2,
       WAV_HEADER_SIZE = 44 };

uint16_t get_u16le(const uint8_t* p);
uint32_t get_u32le(const uint8_t* p);
void put_u16le(uint8_t* p, uint16_t v);
void put_u32le(uint8_t* p, uint32_t v);

// Writes the 44-byte header of a mono PCM file announcing n samples of
// `bytes_per_sample` bytes (1 or 2) at `rate` Hz, truncated to whole hertz.
// The caller keeps rate within 1 .. 2^31-1 and 36 + n * bytes within 32 bits.
void WriteWAVHeader(FILE* op, int32_t n, int bytes_per_sample, double rate);

// What the data step answers the walk.
enum { DATA_GO_ON = 0, DATA_REJECT = 1 };
// Called for each "data" chunk after an accepted format chunk, with the
// stream at the first byte of the body. `size` is Csize as a signed count.
typedef int (*DataStep)(FILE* ip, int32_t size, const struct WAVEfmt* fmt,
                        uint16_t bits_per_sample);

// How a walk ended.
enum { WALK_ENDED = 0, WALK_REJECTED = 1 };
// Walks the chunks of the stream from its first byte, reporting each, and
// hands every data chunk to `step`.
int WalkWAVChunks(FILE* ip, DataStep step);

// Skips a chunk body of `i` bytes and its pad byte, reading to the end of
// the file at most.
void flush_chunk(FILE* ip, int32_t i);
