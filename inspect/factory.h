// The voice EPROMs the machines left the factory with, known by size,
// CRC-32 and SHA-1: an owner holding a dump learns whether it is a stock
// voice, and which chip of a set it is.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "inspect/checksum.h"

struct FactoryImage {
  const char* voice;  // "Bass", "Cymbal crash 1"
  const char* file;   // the name the dump goes by: the chip's label and socket
  const char* machine;
  uint32_t size;
  uint32_t crc32;
  const char* sha1;  // lower-case hex
  const char* note;  // more an owner should know, or null
  // The machine preset (quorix machines) whose card plays the chip, whose
  // code and region it is read with; null when none fits.
  const char* preset;
};

struct FactoryTable {
  const FactoryImage* entries;
  size_t count;
};

// Every factory voice we know of.
extern const FactoryTable factory_voices;

// The entry of `table` whose size, CRC-32 and SHA-1 all equal the image's,
// or null. Both sums must agree: a CRC-32 alone is shared by chance, and
// by the LinnDrum's sidestick, which has the same CRC-32 as the DMX's
// stik.u7.
const FactoryImage* match_factory(const FactoryTable& table, uint64_t size, const Checksums& sums);

// When `size` bytes are two or more pieces of one chip size of `table`,
// each matching an entry, the pieces in address order; else empty.
struct FactoryPiece {
  uint32_t offset;
  const FactoryImage* chip;
};
std::vector<FactoryPiece> match_factory_pieces(const FactoryTable& table, const uint8_t* data, size_t size);
