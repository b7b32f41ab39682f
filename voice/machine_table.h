// The machine table as data: the machines, their ROM sockets and the
// sounds in them, read from TOML (voice/machines.toml, built into the
// program, then the owner's own files). A loaded table is a value: whoever
// needs it is handed it; only the built-in one is kept, read once.
//
// Machines do not all play their ROMs alike. The DMX counts from the first
// byte of a region, which it holds while idle and never plays; the TR-707
// starts on the first byte and stops on the last, which it then holds, and
// keeps two sounds interleaved byte by byte in one region; the LM-1's
// hi-hat never stops. A sound therefore says where its bytes are (offset,
// step, length), which of them the DAC holds while idle, and how a byte
// becomes a level.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "voice/machine.h"

// How sure a value is, by key: {"rate", "model: trimmer T1"}.
typedef std::vector<std::pair<std::string, std::string>> Sureness;

struct FactoryDump {
  std::string file;   // the name the dump goes by
  std::string crc32;  // 8 lower-case hex digits
  std::string sha1;   // 40 lower-case hex digits
  std::string sure;
};

struct RomDef {
  std::string name;   // "ic34"
  std::string file;   // what a kit writes: "ic34.bin"
  uint32_t bytes = 0;
  std::string eprom;  // the EPROM that replaces it: "27256"
  uint32_t chip = 0;  // bytes per EPROM file when the ROM spans several, else 0
  std::vector<std::string> pinouts;  // adapters it may sit on
  std::vector<FactoryDump> factory;
  Sureness sure;
  int line = 0;
};

enum class Idle { first, last, none };

struct SoundDef {
  std::string name;
  std::string rom;
  uint32_t offset = 0;
  uint32_t step = 1;    // 2: every second byte, one sound of an interleaved pair
  uint32_t length = 0;  // bytes of its place, the idle byte included
  double rate = 0;
  SampleCode code = SampleCode::u255;
  Idle idle = Idle::first;
  uint8_t zero = 0x80;       // silence: pads the place
  uint8_t idle_code = 0x80;  // the idle byte
  bool loop = false;
  Sureness sure;
  int line = 0;
};

// An EPROM adapter: what address of the EPROM the socket reads for each
// address of the ROM it replaces.
struct Pinout {
  std::string name;
  std::string description;
  uint32_t bytes = 0;         // the EPROM's
  std::vector<int> address;   // bit k of the EPROM's address is bit address[k] of the ROM's
  uint32_t copies = 0;        // else: the image repeated, for a larger EPROM
  std::string sure;
  std::string source;
  int line = 0;
};

struct MachineDef {
  std::string name;
  std::string description;
  std::string source;  // "built-in" or the file it was read from
  std::vector<RomDef> roms;
  std::vector<SoundDef> sounds;
  Sureness sure;
  // The machine's own defaults, kept to print it as it was written.
  std::string code_text, idle_text;
  double rate = 0;
  int zero = -1, idle_code = -1;
  int line = 0;
};

class MachineTable {
 public:
  MachineTable() = default;
  MachineTable(const MachineTable& other) : machines(other.machines), pinouts(other.pinouts) { finish(); }
  MachineTable& operator=(const MachineTable& other) {
    machines = other.machines;
    pinouts = other.pinouts;
    finish();
    return *this;
  }
  MachineTable(MachineTable&&) = default;
  MachineTable& operator=(MachineTable&&) = default;

  std::vector<MachineDef> machines;  // in the order read; a replaced machine keeps its place
  std::vector<Pinout> pinouts;

  // The one-voice view (see voice/machine.h) of every machine with one
  // sound that is not a loop; valid while the table lives unchanged.
  const std::vector<Machine>& voices() const { return views; }
  // Rebuilds the views; after any change to `machines`.
  void finish();

 private:
  std::vector<Machine> views;
};

// Reads `text` (named `source` in messages) and adds its machines and
// adapters to `table`, replacing those of the same name. Nothing is added
// when the text has a fault: the result is then one line
// "SOURCE:LINE: reason"; empty on success.
std::string load_machines(const std::string& text, const std::string& source, MachineTable* table);

// The same for a file; a file that cannot be read is a fault too.
std::string load_machine_file(const std::string& path, MachineTable* table);

// The table built into the program, read once.
const MachineTable& builtin_machines();
// The text it is read from.
extern const char builtin_machines_toml[];

const MachineDef* find_machine_def(const MachineTable& table, const std::string& name);
const SoundDef* find_sound(const MachineDef& machine, const std::string& name);
const RomDef* find_rom(const MachineDef& machine, const std::string& name);
const Pinout* find_pinout(const MachineTable& table, const std::string& name);

// The sound of `machine` used when none is named: its only sound, or the
// one called "voice"; null when it must be named.
const SoundDef* default_sound(const MachineDef& machine);

// The names of `machine`'s sounds: "bd1, bd2, sd1".
std::string sound_names(const MachineDef& machine);

// A sound of `length` bytes from `offset` of `rom`, with the machine's
// code, rate, idle byte and zero code: a range an owner names.
SoundDef range_sound(const MachineDef& machine, const RomDef& rom, uint32_t offset, uint32_t length);

// The one-voice view of one sound, for the preparing pipeline: its rate,
// code and bytes to fill (the idle byte and the played ones, or, for a
// loop, one more than it plays); its name and description point into
// `machine`.
Machine sound_view(const MachineDef& machine, const SoundDef& sound);

// `machine` in the file's form, ready to copy, rename and edit; with the
// adapters of `table` that its ROMs name.
std::string machine_toml(const MachineDef& machine, const MachineTable& table);

// "first", "last", "none".
const char* idle_name(Idle idle);
