#include "voice/layout.h"

#include <math.h>

#include "voice/dac.h"

size_t played_bytes(const SoundDef& s) { return s.length - (s.idle == Idle::none ? 0 : 1); }

uint32_t played_address(const SoundDef& s, size_t i) {
  // Idle first: the counter leaves the first byte before it plays.
  return s.offset + (uint32_t)(i + (s.idle == Idle::first ? 1 : 0)) * s.step;
}

uint32_t idle_address(const SoundDef& s) {
  return s.idle == Idle::first ? s.offset : s.offset + (s.length - 1) * s.step;
}

void place_sound(std::vector<uint8_t>* rom, const SoundDef& s, const std::vector<uint8_t>& played) {
  const size_t n = played_bytes(s);
  for (size_t i = 0; i < n; i++) (*rom)[played_address(s, i)] = i < played.size() ? played[i] : s.zero;
  if (s.idle != Idle::none) (*rom)[idle_address(s)] = s.idle_code;
}

std::vector<uint8_t> extract_sound(const std::vector<uint8_t>& rom, const SoundDef& s) {
  std::vector<uint8_t> out(played_bytes(s));
  for (size_t i = 0; i < out.size(); i++) out[i] = rom[played_address(s, i)];
  return out;
}

std::vector<uint8_t> blank_rom(const MachineDef& m, const RomDef& rom) {
  uint8_t fill = m.zero >= 0 ? (uint8_t)m.zero : 0x80;
  for (const SoundDef& s : m.sounds)
    if (s.rom == rom.name) {
      fill = s.zero;
      break;
    }
  std::vector<uint8_t> out(rom.bytes, fill);
  for (const SoundDef& s : m.sounds)
    if (s.rom == rom.name) place_sound(&out, s, {});
  return out;
}

// The ROM address the socket asks for when the EPROM sees address j.
static uint32_t rom_address(uint32_t j, const std::vector<int>& lines) {
  uint32_t a = 0;
  for (size_t k = 0; k < lines.size(); k++)
    if (j >> k & 1) a |= 1u << lines[k];
  return a;
}

std::vector<uint8_t> to_eprom(const std::vector<uint8_t>& rom, const Pinout& p) {
  std::vector<uint8_t> out(p.bytes);
  if (p.copies) {
    for (uint32_t j = 0; j < p.bytes; j++) out[j] = rom[j % rom.size()];
    return out;
  }
  for (uint32_t j = 0; j < p.bytes; j++) out[j] = rom[rom_address(j, p.address)];
  return out;
}

std::vector<uint8_t> from_eprom(const std::vector<uint8_t>& eprom, const Pinout& p) {
  if (p.copies) {
    const size_t each = p.bytes / p.copies;
    return std::vector<uint8_t>(eprom.end() - (ptrdiff_t)each, eprom.end());
  }
  std::vector<uint8_t> out(p.bytes);
  for (uint32_t j = 0; j < p.bytes; j++) out[rom_address(j, p.address)] = eprom[j];
  return out;
}

bool make_loop(std::vector<float>* sound, size_t length, size_t overlap) {
  if (sound->size() < length + overlap || overlap > length) return false;
  float* x = sound->data();
  const double quarter = 1.5707963267948966;
  for (size_t i = 0; i < overlap; i++) {
    double t = (i + 0.5) / (double)overlap;
    x[i] = (float)(x[i] * sin(quarter * t) + x[length + i] * cos(quarter * t));
  }
  sound->resize(length);
  return true;
}

std::vector<uint8_t> played_codes(const std::vector<std::vector<uint8_t>>& files, size_t count) {
  std::vector<uint8_t> whole;
  for (const auto& f : files) whole.insert(whole.end(), f.begin(), f.end());
  if (whole.size() < 1 + count) count = whole.empty() ? 0 : whole.size() - 1;
  return std::vector<uint8_t>(whole.begin() + (whole.empty() ? 0 : 1), whole.begin() + (ptrdiff_t)(1 + count));
}

bool loop_codes(std::vector<uint8_t>* codes, size_t length, size_t overlap, SampleCode code) {
  std::vector<float> levels(codes->size());
  for (size_t i = 0; i < levels.size(); i++) levels[i] = (float)code_output((*codes)[i], code);
  if (!make_loop(&levels, length, overlap)) return false;
  codes->resize(length);
  for (size_t i = 0; i < length; i++) (*codes)[i] = encode_level(levels[i], code, Encoder::dac);
  return true;
}
