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

// The codes `sound` of `machine` plays, prepared from the sound file
// `input` with `options` (its machine, region and chips are the sound's);
// the report on standard output unless `quiet`. The outcome, with the
// reason when not finished. Shared by prepare and kit.
Outcome prepare_sound_codes(const std::string& input, const MachineDef& machine, const SoundDef& sound,
                            PrepareOptions options, bool quiet, std::vector<uint8_t>* codes, std::string* why);

// Samples crossfaded into the start of a loop: about 9 ms at the LM-1's
// clock, several periods of a hi-hat's lowest partials.
size_t loop_overlap_of(const SoundDef& sound);

// The ROM image `path` (`bytes` long: the ROM's, or its EPROM's on
// `pinout`) as the socket reads it; false with the reason, `cannot_read`
// telling a file that does not read from one of the wrong size.
bool read_rom_image(const std::string& path, uint32_t bytes, const RomDef& rom, const Pinout* pinout,
                    std::vector<uint8_t>* image, std::string* why, bool* cannot_read);

// The lines that end prepare's report once its image files `names` are
// written ("Output: ...", one a file, then "Finished.").
std::vector<std::string> prepare_output_lines(const std::vector<std::string>& names, const VoiceSettings& settings);

// The names of the files a prepared region goes into: OUTPUT, or for a
// region split over chips OUTPUT-1.bin, OUTPUT-2.bin, ...
std::vector<std::string> chip_file_names(const std::string& output, const VoiceSettings& settings);
