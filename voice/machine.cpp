#include "voice/machine.h"

#include <string.h>

#include "voice/machine_table.h"

const std::vector<Machine>& voice_machines() { return builtin_machines().voices(); }

const Machine* default_machine() { return &voice_machines().front(); }

const Machine* find_machine(const char* name) {
  for (const Machine& m : voice_machines())
    if (strcmp(m.name, name) == 0) return &m;
  return nullptr;
}

const Eprom eproms[] = {
    {"2716", 2048},   {"2732", 4096},   {"2764", 8192},
    {"27128", 16384}, {"27256", 32768}, {"27512", 65536},
};
const size_t eprom_count = sizeof eproms / sizeof eproms[0];

const Eprom* find_eprom(const char* name) {
  // Programmers and data sheets write the CMOS parts as 27C32 and so on;
  // they hold the same number of bytes.
  char plain[16];
  size_t n = strlen(name);
  if (n >= sizeof plain) return nullptr;
  memcpy(plain, name, n + 1);
  if (n > 2 && (plain[2] == 'C' || plain[2] == 'c')) memmove(plain + 2, plain + 3, n - 2);
  for (size_t i = 0; i < eprom_count; i++)
    if (strcmp(eproms[i].name, plain) == 0) return &eproms[i];
  return nullptr;
}

const Eprom* eprom_of_size(uint64_t bytes) {
  for (size_t i = 0; i < eprom_count; i++)
    if (eproms[i].bytes == bytes) return &eproms[i];
  return nullptr;
}

const char* code_name(SampleCode code) {
  switch (code) {
    case SampleCode::u255: return "u255";
    case SampleCode::linear: return "linear";
    case SampleCode::linear_inverted: return "linear-inverted";
    case SampleCode::signed_linear: return "signed";
    case SampleCode::linear_top6: return "linear-top6";
  }
  return "?";
}

bool parse_code(const char* name, SampleCode* code) {
  static const SampleCode all[] = {SampleCode::u255, SampleCode::linear, SampleCode::linear_inverted,
                                   SampleCode::signed_linear, SampleCode::linear_top6};
  for (SampleCode c : all)
    if (strcmp(name, code_name(c)) == 0) {
      *code = c;
      return true;
    }
  return false;
}

uint8_t zero_code(SampleCode code) { return code == SampleCode::signed_linear ? 0x00 : 0x80; }
