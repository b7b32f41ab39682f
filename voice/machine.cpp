#include "voice/machine.h"

#include <string.h>

// Clocks are the typical values of the circuits; every card has a trimmer,
// so these are starting points the owner can change with --rate.
const Machine machines[] = {
    {"dmx", "Oberheim DMX voice card, one 2732", SampleCode::u255, 27200, 4096, 0, 0x80, 0x80},
    {"dmx-snare", "Oberheim DMX snare card, one 2732", SampleCode::u255, 40800, 4096, 0, 0x80, 0x80},
    {"dmx-perc", "Oberheim DMX Perc 1 card, one 2048-byte half of a 2732", SampleCode::u255, 27200,
     2048, 0, 0x80, 0x80},
    {"dmx-perc2", "Oberheim DMX Perc 2 card, one 2048-byte half of a 2732", SampleCode::u255, 19100,
     2048, 0, 0x80, 0x80},
    {"dmx-cymbal", "Oberheim DMX cymbal card, one 16 KB sample on four 2732s", SampleCode::u255,
     27200, 16384, 4096, 0x80, 0x80},
    {"linndrum", "LinnDrum voice, one 2732", SampleCode::u255, 30000, 4096, 0, 0x00, 0x80},
    {"sds", "Simmons SDS-7/SDS-9 voice, one 2764, linear samples", SampleCode::linear, 32000, 8192,
     0, 0x80, 0x80},
};
const size_t machine_count = sizeof machines / sizeof machines[0];
const Machine* const default_machine = &machines[0];

const Machine* find_machine(const char* name) {
  for (size_t i = 0; i < machine_count; i++)
    if (strcmp(machines[i].name, name) == 0) return &machines[i];
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
