// The machines our images go into: how each one plays its EPROM (sample
// code, clock, region size) and the EPROM sizes a programmer burns. One
// table, read by every command that needs to know what a card will play.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

// How a byte of the image becomes a level at the card's DAC.
enum class SampleCode {
  u255,             // sign-magnitude companded codes into an AM6070 (DAC-76): DMX, LinnDrum
  linear,           // unsigned linear offset, 128 = zero (DAC0800): Simmons SDS
  linear_inverted,  // linear offset into a DAC whose output falls as the code rises: TR-707 voices
  signed_linear,    // two's complement, 0 = zero: Casio RZ-1
  linear_top6,      // linear offset on data bits 7-2 only, bits 1-0 not wired: TR-707 cymbals
};

// One voice of a machine, as the preparing pipeline and the inspection
// see it: a region played from its second byte to its end. A view into a
// machine table (voice/machine_table.h), valid while the table lives.
struct Machine {
  const char* name;         // what --machine takes
  const char* description;  // one line for `quorix machines`
  SampleCode code;
  double rate;              // typical sample clock in Hz; the owner's card may differ (a trimmer)
  uint32_t region;          // bytes one trigger plays, from address 0 of the region to its end
  uint32_t chip;            // bytes per EPROM when the region spans several chips, else 0
  uint8_t first_byte;       // held by the DAC while idle, never played during a hit
  uint8_t pad;              // fills the region after the sound: silence at the DAC
};

// The one-voice machines of the built-in table (voice/machines.toml), the
// DMX voice card first: it is the default.
const std::vector<Machine>& voice_machines();
const Machine* default_machine();

// The one-voice machine called `name` in the built-in table, or null.
const Machine* find_machine(const char* name);

struct Eprom {
  const char* name;  // "2732"
  uint32_t bytes;
};
extern const Eprom eproms[];
extern const size_t eprom_count;

// The EPROM called `name` ("2732" or "27C32"), or null.
const Eprom* find_eprom(const char* name);
// The EPROM of exactly `bytes`, or null.
const Eprom* eprom_of_size(uint64_t bytes);

// "u255", "linear", "linear-inverted", "signed" or "linear-top6"; and back
// (false when unknown).
const char* code_name(SampleCode code);
bool parse_code(const char* name, SampleCode* code);

// The code that makes the DAC output 0: 0x00 for signed bytes, else 0x80.
uint8_t zero_code(SampleCode code);
