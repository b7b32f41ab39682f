#include "inspect/rom.h"

#include <math.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "text/format.h"
#include "voice/dac.h"
#include "voice/layout.h"
#include "voice/resample.h"

static std::string base_name(const std::string& path) {
  size_t slash = path.find_last_of("/\\:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool rom_facts(const MachineDef& m, const std::string& file_name, const std::vector<uint8_t>& rom,
               const SoundDef* sound, RomFacts* f, std::string* why) {
  f->machine = &m;
  f->sums = checksum(rom.data(), rom.size());
  std::string crc = crc32_hex(f->sums.crc32);
  const std::string base = base_name(file_name);
  if (sound) {
    f->rom = find_rom(m, sound->rom);
    f->chosen_by = "--sound";
  }
  for (const RomDef& r : m.roms)
    for (const FactoryDump& d : r.factory)
      if (!f->factory && r.bytes == rom.size() && d.crc32 == crc && d.sha1 == f->sums.sha1 && (!f->rom || f->rom == &r)) {
        f->factory = &d;
        if (!f->rom) f->rom = &r, f->chosen_by = "its factory checksum";
      }
  // An owner's file is most often named after the socket: "ic34.bin".
  for (const RomDef& r : m.roms)
    if (!f->rom && r.bytes == rom.size() && (base == r.file || base.find(r.name) != std::string::npos))
      f->rom = &r, f->chosen_by = "its file name";
  for (const RomDef& r : m.roms)
    if (!f->rom && r.bytes == rom.size()) f->rom = &r, f->chosen_by = "its size, the first such rom";
  if (!f->rom || f->rom->bytes != rom.size()) {
    std::string sizes;
    for (const RomDef& r : m.roms) sizes += (sizes.empty() ? "" : ", ") + r.name + " " + std::to_string(r.bytes);
    *why = strprintf("%zu bytes is no rom of %s (%s bytes)", rom.size(), m.name.c_str(), sizes.c_str());
    return false;
  }
  for (const SoundDef& s : m.sounds) {
    if (s.rom != f->rom->name || (sound && sound->name != s.name)) continue;
    RomSoundFacts sf;
    sf.sound = &s;
    sf.has_idle = s.idle != Idle::none;
    if (sf.has_idle) {
      sf.idle_at = idle_address(s);
      sf.idle_byte = rom[sf.idle_at];
      // The LinnDrum's 0x00 and 0x80 are both zero on the AM6070.
      sf.idle_is_zero = code_output(sf.idle_byte, s.code) == 0;
    }
    const std::vector<uint8_t> played = extract_sound(rom, s);
    sf.used = played.size();
    while (sf.used > 0 && code_output(played[sf.used - 1], s.code) == 0) sf.used--;
    for (uint8_t c : played) sf.peak = std::max(sf.peak, fabs(code_output(c, s.code)));
    f->sounds.push_back(sf);
  }
  std::sort(f->sounds.begin(), f->sounds.end(), [](const RomSoundFacts& a, const RomSoundFacts& b) {
    return a.sound->offset < b.sound->offset;
  });
  return true;
}

std::string rom_report_text(const std::string& file_name, const RomFacts& f) {
  std::string t = strprintf("%s: rom %s of %s (%s, %u bytes), chosen by %s\n", file_name.c_str(), f.rom->name.c_str(),
                            f.machine->name.c_str(), f.rom->file.c_str(), f.rom->bytes, f.chosen_by.c_str());
  t += strprintf("  CRC-32 %s, SHA-1 %s\n", crc32_hex(f.sums.crc32).c_str(), f.sums.sha1.c_str());
  if (f.factory)
    t += "  factory: " + f.factory->file + (f.factory->sure.empty() ? "" : " (" + f.factory->sure + ")") + "\n";
  else if (!f.rom->factory.empty())
    t += "  factory: none of the known dumps of this rom\n";
  if (f.sounds.empty()) t += "  no sound table: name a range with --at and --length to replace one\n";
  for (const RomSoundFacts& s : f.sounds) {
    const SoundDef& d = *s.sound;
    const double rate = d.rate;
    t += strprintf("  %-8s 0x%04X-0x%04X%s, %s at %g Hz: %s", d.name.c_str(), d.offset,
                   d.offset + (d.length - 1) * d.step, d.step == 2 ? " every second byte" : "", code_name(d.code), rate,
                   s.used ? (ms_text((double)s.used / rate) + " of sound, peak " + dbfs_text(s.peak)).c_str() : "silent");
    if (d.loop) t += ", a loop";
    if (s.has_idle && s.idle_is_zero)
      t += strprintf(", idle byte 0x%04X = 0x%02X\n", s.idle_at, s.idle_byte);
    else if (s.has_idle)
      t += strprintf("\n  warning: %s's idle byte 0x%04X is 0x%02X, not the zero code 0x%02X: the DAC holds %s between hits\n",
                     d.name.c_str(), s.idle_at, s.idle_byte, d.idle_code, dbfs_text(fabs(code_output(s.idle_byte, d.code))).c_str());
    else
      t += "\n";
  }
  return t;
}

std::vector<RomPlotSpan> rom_plot_spans(const RomFacts& f, double out_rate, double gap_ms) {
  std::vector<RomPlotSpan> spans;
  double t = 0;
  for (const RomSoundFacts& s : f.sounds) {
    const SoundDef& d = *s.sound;
    RomPlotSpan span;
    span.t0 = t;
    // As many samples as the resampler gives: round(n * out / in).
    t += (double)llround((double)played_bytes(d) * out_rate / d.rate) / out_rate;
    span.t1 = t;
    span.label = strprintf("%s 0x%04X%s", d.name.c_str(), d.offset, d.step == 2 ? "/2" : "");
    span.has_idle = s.has_idle;
    span.idle_is_zero = s.idle_is_zero;
    span.idle_level = s.has_idle ? code_output(s.idle_byte, d.code) : 0;
    spans.push_back(span);
    t += (double)llround(gap_ms * out_rate / 1000) / out_rate;
  }
  return spans;
}

std::string rom_report_json(const std::string& file_name, const RomFacts& f) {
  nlohmann::ordered_json j;
  j["name"] = file_name;
  j["kind"] = "rom";
  j["machine"] = f.machine->name;
  j["rom"] = f.rom->name;
  j["chosen_by"] = f.chosen_by;
  j["size"] = f.rom->bytes;
  j["crc32"] = crc32_hex(f.sums.crc32);
  j["sha1"] = f.sums.sha1;
  j["factory"] = f.factory ? nlohmann::ordered_json{{"file", f.factory->file}, {"sure", f.factory->sure}}
                           : nlohmann::ordered_json();
  j["sounds"] = nlohmann::ordered_json::array();
  for (const RomSoundFacts& s : f.sounds) {
    const SoundDef& d = *s.sound;
    nlohmann::ordered_json o = {{"sound", d.name},
                                {"offset", d.offset},
                                {"step", d.step},
                                {"length", d.length},
                                {"rate", d.rate},
                                {"code", code_name(d.code)},
                                {"sound_seconds", (double)s.used / d.rate},
                                {"peak", s.peak},
                                {"loop", d.loop}};
    if (s.has_idle) {
      o["idle_at"] = s.idle_at;
      o["idle_byte"] = s.idle_byte;
      o["idle_is_zero"] = s.idle_is_zero;
    }
    j["sounds"].push_back(o);
  }
  return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

bool render_rom_sounds(const std::vector<uint8_t>& rom, const RomFacts& f, double out_rate, double gap_ms,
                       std::vector<float>* out, std::string* why) {
  const size_t gap = (size_t)llround(gap_ms * out_rate / 1000);
  for (const RomSoundFacts& s : f.sounds) {
    const std::vector<uint8_t> played = extract_sound(rom, *s.sound);
    std::vector<float> levels(played.size()), at_rate;
    for (size_t i = 0; i < played.size(); i++) levels[i] = (float)code_output(played[i], s.sound->code);
    if (!resample_all(levels.data(), levels.size(), s.sound->rate, out_rate, &at_rate, why)) return false;
    out->insert(out->end(), at_rate.begin(), at_rate.end());
    out->insert(out->end(), gap, 0.0f);
  }
  return true;
}

std::vector<DumpMatch> match_dumps(const MachineTable& table, const Checksums& sums, uint64_t size) {
  std::vector<DumpMatch> found;
  const std::string crc = crc32_hex(sums.crc32);
  for (const MachineDef& m : table.machines)
    for (const RomDef& r : m.roms)
      for (const FactoryDump& d : r.factory)
        if (r.bytes == size && d.crc32 == crc && d.sha1 == sums.sha1) found.push_back({&m, &r, &d});
  return found;
}
