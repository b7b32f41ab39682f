// What the card plays, as samples: each region of the image from its
// second byte to its end (the first clock of a hit already moves the
// counter to address 1, and the DAC holds byte 0 while idle), decoded the
// way the card's DAC decodes it, each region followed by 100 ms of silence
// so that hits stay apart.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "voice/machine.h"

// Consecutive regions of `region` bytes from address 0; the last one is
// shorter when the image is not a multiple of the region.
struct RegionSpan {
  uint32_t offset, length;
};
std::vector<RegionSpan> split_regions(size_t size, uint32_t region);

struct ListenOptions {
  SampleCode code = SampleCode::u255;
  // Decode u255 along the continuous curve of the image-to-WAV conversion
  // instead of the AM6070's levels: to compare what older tools made of it.
  bool curve = false;
  double rate = 27200;  // the card's clock, Hz
  uint32_t region = 4096;
  int only_region = 0;  // 1-based; 0 plays every region in address order
};

// The gap after each region.
enum { listen_gap_ms = 100 };

// What the card plays from byte 1 of `region` (the region's first `bytes`
// bytes), as fractions of full scale through the card's DAC.
std::vector<float> decode_region(const uint8_t* region, size_t bytes, SampleCode code);

// The level of `code` as the card (or the curve) puts it out, as a
// fraction of full scale.
double listen_level(uint8_t code, const ListenOptions& options);

// The samples at options.rate. False with a reason when only_region names
// no region of the image.
bool render_regions(const uint8_t* data, size_t size, const ListenOptions& options, std::vector<float>* out,
                    std::string* error);
