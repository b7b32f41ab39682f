// `quorix prepare`'s options read into what the voice steps take, apart from
// the files: what the browser page calls too, with the same arguments.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "voice/machine_table.h"
#include "voice/prepare.h"

// Not to be copied: `options.machine` may point into `table` or `view`.
struct PrepareRequest {
  PrepareOptions options;
  VoiceSettings settings;  // the options with the machine's values filled in
  std::string input, output, preview;  // preview empty: none
  bool quiet = false;

  MachineTable table;             // the run's machines (built in, the config folder's, --machines)
  bool table_unreadable = false;  // a machine file could not be read at all
  // A sound placed in a whole ROM image: a sound of a machine of several
  // (--sound), a range (--at, --length), --into, --eprom-pinout.
  bool in_rom = false;
  const MachineDef* machine = nullptr;
  SoundDef sound;
  const RomDef* rom = nullptr;
  const Pinout* pinout = nullptr;  // --eprom-pinout
  std::string into;                // --into: the ROM image read and rewritten
  uint32_t rom_chip = 0;           // bytes per file of the ROM (--chips, or the ROM's own)
  size_t loop_overlap = 0;         // samples crossfaded into a loop's start
  Machine view;                    // the sound as the pipeline sees it
};

extern const OptionSpec prepare_options[];

// The request of `args` (parsed against prepare_options), or false with
// the one-line reason of a usage error. With `need_files` false the file
// names are not asked for (the page has its bytes in memory).
bool prepare_request(const ParsedArgs& args, bool need_files, PrepareRequest* request, std::string* why);

// `quorix prepare` for a sound in a ROM image (request.in_rom): the sound
// prepared for its place, written into a fresh ROM with every other sound
// silent or into the --into image, all or nothing (cli/prepare_rom.cpp).
enum class Outcome;
Outcome prepare_in_rom(PrepareRequest& request);

// The names of the files a prepared region goes into: OUTPUT, or for a
// region split over chips OUTPUT-1.bin, OUTPUT-2.bin, ...
std::vector<std::string> chip_file_names(const std::string& output, const VoiceSettings& settings);
