// The voice EPROMs the machines left the factory with, known by size,
// CRC-32 and SHA-1: an owner holding a dump learns whether it is a stock
// voice, and which chip of a set it is.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "inspect/checksum.h"

struct FactoryImage {
  const char* voice;  // "Bass", "Cymbal crash 1"
  const char* file;   // the name the dump goes by: the chip's label and socket
  const char* machine;
  uint32_t size;
  uint32_t crc32;
  const char* sha1;  // lower-case hex
  const char* note;  // more an owner should know, or null
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
