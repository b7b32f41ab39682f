#include "inspect/report.h"

#include <math.h>

#include <nlohmann/json.hpp>

#include "text/format.h"

// Keys in the order written, so the objects read the same every time.
using json = nlohmann::ordered_json;

// A DC offset this large (1% of full scale) is audible as a click where a
// prepared voice starts and stops.
static const double dc_warning = 0.01;

std::vector<std::string> sound_warnings(const SoundFacts& s) {
  std::vector<std::string> w;
  if (!s.read_error.empty())
    w.push_back("the file could not be read to its end (" + s.read_error +
                "): the facts cover what was read");
  if (s.frames == 0)
    w.push_back("the file holds no frames");
  else if (s.peak == 0)
    w.push_back("the file is silent");
  if (s.nonfinite > 0)
    w.push_back(
        strprintf("%lld samples are not numbers (NaN or infinite) and count as 0", (long long)s.nonfinite));
  if (fabs(s.dc_offset) >= dc_warning)
    w.push_back(
        strprintf("a DC offset of %+.3f of full scale: a step where the voice starts and ends; remove it "
                  "first",
                  s.dc_offset));
  return w;
}


static json dbfs_json(double peak) { return peak > 0 ? json(20 * log10(peak)) : json(nullptr); }


static std::string image_text(const FileReport& r) {
  const ImageFacts& f = r.image;
  std::string t;
  t += "  kind: EPROM image\n";
  t += f.eprom ? strprintf("  size: %llu bytes, fills a %s\n", (unsigned long long)f.size, f.eprom->name)
               : strprintf("  size: %llu bytes, not an EPROM size\n", (unsigned long long)f.size);
  t += "  CRC-32: " + crc32_hex(f.sums.crc32) + "\n";
  t += "  SHA-1: " + f.sums.sha1 + "\n";
  if (f.factory) {
    t += strprintf("  factory voice: %s %s (%s)\n", f.factory->machine, f.factory->voice, f.factory->file);
    if (f.factory->note) t += strprintf("  factory note: %s\n", f.factory->note);
  } else if (!f.factory_pieces.empty()) {
    // Stock chips burned together into one larger EPROM: each is named
    // with its address, so a set out of order or one chip short shows.
    std::string files, offsets;
    for (const FactoryPiece& p : f.factory_pieces) {
      files += (files.empty() ? "" : ", ") + std::string(p.chip->file);
      offsets += strprintf("%s0x%04X", offsets.empty() ? "" : ", ", p.offset);
    }
    t += strprintf("  factory voice: %zu factory chips joined: %s at %s\n", f.factory_pieces.size(),
                   files.c_str(), offsets.c_str());
    for (const FactoryPiece& p : f.factory_pieces)
      t += strprintf("  factory chip at 0x%04X: %s %s (%s)\n", p.offset, p.chip->machine, p.chip->voice,
                     p.chip->file);
  } else {
    t += "  factory voice: none known\n";
  }
  const char* likely = likely_code_name(f.guess.code);
  t += f.guess.sure ? strprintf("  likely code: %s; %s\n", likely, f.guess.reason.c_str())
                    : strprintf("  likely code: %s (unsure: %s); %s\n", likely, f.guess.doubt.c_str(),
                                f.guess.reason.c_str());
  t += strprintf("  read as: %s for %s at %g Hz, %u-byte regions\n", code_name(f.code), f.machine->name,
                 f.rate, f.machine->region);
  for (size_t i = 0; i < f.regions.size(); i++) {
    const RegionFacts& g = f.regions[i];
    size_t n = i + 1;
    t += strprintf("  region %zu: bytes 0x%04X-0x%04X, one hit plays %s\n", n, g.span.offset,
                   g.span.offset + g.span.length - 1, ms_text(g.play_seconds).c_str());
    t += strprintf("  region %zu first byte: 0x%02X, %s\n", n, g.first_byte,
                   g.first_is_zero ? "the zero code" : "NOT the zero code");
    t += g.used > 1 ? strprintf("  region %zu sound: %u bytes after the first (%s), peak %s\n", n, g.used - 1,
                                ms_text(g.sound_seconds).c_str(), dbfs_text(g.peak).c_str())
                    : strprintf("  region %zu sound: none\n", n);
    t += strprintf("  region %zu padding: %u bytes of level 0\n", n, g.padding);
    t += g.erased_tail ? strprintf("  region %zu erased tail: %u bytes of 0xFF\n", n, g.erased_tail)
                       : strprintf("  region %zu erased tail: none\n", n);
  }
  for (const std::string& w : f.warnings) t += "  warning: " + w + "\n";
  return t;
}

static std::string sound_text(const FileReport& r) {
  const SoundFacts& s = r.sound;
  std::string t;
  t += "  kind: sound file\n";
  t += "  format: " + s.format.container + ", " + s.format.encoding + "\n";
  t += strprintf("  channels: %d\n", s.format.channels);
  t += strprintf("  rate: %d Hz\n", s.format.rate);
  t += strprintf("  frames: %lld\n", (long long)s.frames);
  t += strprintf("  duration: %.3f s\n", s.seconds);
  t += "  peak: " + dbfs_text(s.peak) + "\n";
  t += strprintf("  DC offset: %+.5f of full scale\n", s.dc_offset);
  for (const RegionFit& fit : s.fits) {
    if (fit.kept_fraction >= 1)
      t += strprintf("  fits %s: all %s, with room for %s (%u bytes at %g Hz)\n", fit.machine->name,
                     ms_text(s.seconds).c_str(), ms_text(fit.fit_seconds).c_str(), fit.sound_bytes, fit.rate);
    else
      t += strprintf("  fits %s: the first %s of %s (%.0f%%), %u bytes at %g Hz\n", fit.machine->name,
                     ms_text(fit.fit_seconds).c_str(), ms_text(s.seconds).c_str(), fit.kept_fraction * 100,
                     fit.sound_bytes, fit.rate);
  }
  for (const std::string& w : sound_warnings(s)) t += "  warning: " + w + "\n";
  return t;
}

std::string report_text(const FileReport& r) {
  switch (r.kind) {
    case FileKind::image:
      return r.name + "\n" + image_text(r);
    case FileKind::sound:
      return r.name + "\n" + sound_text(r);
    case FileKind::unusable:
      break;
  }
  return std::string();
}

static json image_json(const ImageFacts& f) {
  json j;
  j["eprom"] = f.eprom ? json(f.eprom->name) : json(nullptr);
  j["crc32"] = crc32_hex(f.sums.crc32);
  j["sha1"] = f.sums.sha1;
  if (f.factory)
    j["factory"] = {{"voice", f.factory->voice},
                    {"file", f.factory->file},
                    {"machine", f.factory->machine},
                    {"note", f.factory->note ? json(f.factory->note) : json(nullptr)}};
  else
    j["factory"] = nullptr;
  json pieces = json::array();
  for (const FactoryPiece& p : f.factory_pieces)
    pieces.push_back({{"offset", p.offset},
                      {"voice", p.chip->voice},
                      {"file", p.chip->file},
                      {"machine", p.chip->machine},
                      {"note", p.chip->note ? json(p.chip->note) : json(nullptr)}});
  j["factory_chips"] = pieces;
  j["likely_code"] = {{"code", likely_code_name(f.guess.code)},
                      {"reason", f.guess.reason},
                      {"sure", f.guess.sure},
                      {"doubt", f.guess.sure ? json(nullptr) : json(f.guess.doubt)}};
  j["machine"] = f.machine->name;
  j["code"] = code_name(f.code);
  j["rate"] = f.rate;
  j["region_size"] = f.machine->region;
  json regions = json::array();
  for (const RegionFacts& g : f.regions)
    regions.push_back({{"offset", g.span.offset},
                       {"length", g.span.length},
                       {"first_byte", g.first_byte},
                       {"first_byte_is_zero", g.first_is_zero},
                       {"used", g.used},
                       {"padding", g.padding},
                       {"erased_tail", g.erased_tail},
                       {"peak_dbfs", dbfs_json(g.peak)},
                       {"play_seconds", g.play_seconds},
                       {"sound_seconds", g.sound_seconds}});
  j["regions"] = regions;
  j["warnings"] = f.warnings;
  return j;
}

static json sound_json(const SoundFacts& s) {
  json j;
  j["container"] = s.format.container;
  j["encoding"] = s.format.encoding;
  j["channels"] = s.format.channels;
  j["rate"] = s.format.rate;
  j["frames"] = s.frames;
  j["seconds"] = s.seconds;
  j["peak_dbfs"] = dbfs_json(s.peak);
  j["dc_offset"] = s.dc_offset;
  json fits = json::array();
  for (const RegionFit& fit : s.fits)
    fits.push_back({{"machine", fit.machine->name},
                    {"rate", fit.rate},
                    {"sound_bytes", fit.sound_bytes},
                    {"fit_seconds", fit.fit_seconds},
                    {"kept_fraction", fit.kept_fraction}});
  j["fits"] = fits;
  j["warnings"] = sound_warnings(s);
  return j;
}

std::string report_json(const FileReport& r) {
  json j;
  j["file"] = r.name;
  j["kind"] = r.kind == FileKind::image ? "image" : r.kind == FileKind::sound ? "sound" : "unusable";
  j["size"] = r.size;
  switch (r.kind) {
    case FileKind::image:
      j.update(image_json(r.image));
      break;
    case FileKind::sound:
      j.update(sound_json(r.sound));
      break;
    case FileKind::unusable:
      j["error"] = r.error;
      break;
  }
  // File names need not be UTF-8; bytes that are not become U+FFFD rather
  // than stop the output.
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}
