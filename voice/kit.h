// A kit file: the samples of a whole set of ROMs for one machine, so that
// an owner builds every chip of a machine in one run from a folder of
// samples (quorix kit). TOML, paths relative to the kit file:
//   machine = "tr707"
//   output = "roms"                 # a folder; default the kit file's own
//   [sounds]
//   bd1 = "kick.wav"
//   sd1 = { file = "snare.wav", gain = -3.0, trim = true, channel = 1 }
//   [bases]                         # the ROM images the sounds go into
//   ic34 = "dumps/ic34.bin"         # default: a fresh ROM, other sounds silent
#pragma once

#include <string>
#include <vector>

#include "voice/machine_table.h"

struct KitSound {
  std::string sound;  // the machine's sound
  std::string file;   // the sample, as the kit file names it
  bool gain_given = false;
  double gain_db = 0;
  bool trim = false;
  int channel = 0;  // 0: all channels averaged
  int line = 0;
};

struct KitBase {
  std::string rom;
  std::string file;
  int line = 0;
};

struct Kit {
  std::string machine;
  std::string output;  // empty: the kit file's folder
  std::vector<KitSound> sounds;
  std::vector<KitBase> bases;
};

// Reads the kit in `text` (named `source` in messages) against `table`:
// a known machine, each sound one of its sounds, each base one of its
// ROMs. False with one line "SOURCE:LINE: reason".
bool read_kit(const std::string& text, const std::string& source, const MachineTable& table, Kit* kit,
              std::string* why);

// `path` of the kit file's folder when it is relative: "samples/kick.wav"
// beside "/home/me/kit.toml" is "/home/me/samples/kick.wav".
std::string kit_path(const std::string& kit_file, const std::string& path);
