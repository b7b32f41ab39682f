// A whole ROM of a machine with several sounds (voice/machine_table.h):
// which of the machine's ROMs a file is, what each sound in it holds, and
// whether the byte its DAC holds while idle is silence. Facts first, then
// the text, as for the one-voice images of inspect/image.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "inspect/checksum.h"
#include "inspect/plot.h"
#include "voice/machine_table.h"

struct RomSoundFacts {
  const SoundDef* sound = nullptr;
  bool has_idle = false;
  uint32_t idle_at = 0;
  uint8_t idle_byte = 0;
  bool idle_is_zero = true;  // the DAC holds silence between hits
  size_t used = 0;           // bytes played before the trailing zero codes
  double peak = 0;           // through the sound's DAC, fraction of full scale
};

struct RomFacts {
  const MachineDef* machine = nullptr;
  const RomDef* rom = nullptr;
  std::string chosen_by;  // "its factory checksum", "its file name", "its size", "--sound"
  const FactoryDump* factory = nullptr;
  Checksums sums;  // of the image as the socket reads it
  std::vector<RomSoundFacts> sounds;  // in address order of their first byte
};

// The ROM of `machine` that `rom` (the bytes as the socket reads them,
// after any adapter) is, and its sounds (only `sound` when not null);
// false with a reason when no ROM of the machine has its size.
bool rom_facts(const MachineDef& machine, const std::string& file_name, const std::vector<uint8_t>& rom,
               const SoundDef* sound, RomFacts* facts, std::string* why);

// The facts as lines a person reads, warnings marked "warning:".
std::string rom_report_text(const std::string& file_name, const RomFacts& facts);

// The same facts as one JSON object on one line, for scripts.
std::string rom_report_json(const std::string& file_name, const RomFacts& facts);

// What the machine plays of each sound of `facts`, one after another, each
// decoded through its own code, resampled from its own rate to `out_rate`
// and followed by `gap_ms` of silence; false with a reason when the
// resampler fails.
bool render_rom_sounds(const std::vector<uint8_t>& rom, const RomFacts& facts, double out_rate, double gap_ms,
                       std::vector<float>* out, std::string* why);

// Where each sound of that rendering lies, for the picture (inspect/plot.h).
std::vector<RomPlotSpan> rom_plot_spans(const RomFacts& facts, double out_rate, double gap_ms);

// The ROMs of every machine of `table` whose known factory dumps `sums`
// (of an image of `size` bytes) is: an owner's dump of a TR-707 or an RZ-1
// read as if it were a one-voice image learns what it is.
struct DumpMatch {
  const MachineDef* machine;
  const RomDef* rom;
  const FactoryDump* dump;
};
std::vector<DumpMatch> match_dumps(const MachineTable& table, const Checksums& sums, uint64_t size);
