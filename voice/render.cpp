#include "voice/render.h"

#include <math.h>

#include "convert/codec.h"
#include "text/format.h"
#include "voice/dac.h"

std::vector<RegionSpan> split_regions(size_t size, uint32_t region) {
  std::vector<RegionSpan> spans;
  if (region == 0) region = (uint32_t)size;
  for (size_t at = 0; at < size; at += region)
    spans.push_back({(uint32_t)at, (uint32_t)(size - at < region ? size - at : region)});
  return spans;
}

std::vector<float> decode_region(const uint8_t* region, size_t bytes, SampleCode code) {
  std::vector<float> out(bytes > 1 ? bytes - 1 : 0);
  for (size_t i = 1; i < bytes; i++) out[i - 1] = (float)code_output(region[i], code);
  return out;
}

double listen_level(uint8_t code, const ListenOptions& options) {
  if (options.curve && options.code == SampleCode::u255) return u255lawToLinear(code, 32767) / 32767.0;
  return code_output(code, options.code);
}

bool render_regions(const uint8_t* data, size_t size, const ListenOptions& options, std::vector<float>* out,
                    std::string* error) {
  std::vector<RegionSpan> spans = split_regions(size, options.region);
  if (options.only_region < 0 || (size_t)options.only_region > spans.size()) {
    *error = strprintf("no region %d: the image holds %zu region%s of %u bytes", options.only_region,
                       spans.size(), spans.size() == 1 ? "" : "s", options.region);
    return false;
  }
  float level[256];
  for (int c = 0; c < 256; c++) level[c] = (float)listen_level((uint8_t)c, options);
  size_t gap = (size_t)llround(options.rate * listen_gap_ms / 1000.0);
  out->clear();
  for (size_t i = 0; i < spans.size(); i++) {
    if (options.only_region && (size_t)options.only_region != i + 1) continue;
    for (uint32_t b = 1; b < spans[i].length; b++) out->push_back(level[data[spans[i].offset + b]]);
    out->insert(out->end(), gap, 0.0f);
  }
  return true;
}
