// quorix info: what is in EPROM images and sound files, one block of facts
// per file (or one JSON object per line), and a waveform picture on request.
#include <math.h>
#include <stdio.h>

#include <algorithm>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/inspect_options.h"
#include "cli/module.h"
#include "cli/output.h"
#include "inspect/inspect.h"
#include "inspect/report.h"
#include "inspect/rom.h"
#include "platform/files.h"
#include "text/format.h"
#include "voice/layout.h"
#include "voice/render.h"

static const OptionSpec info_options[] = {
    {"json", nullptr, "one JSON object per file and line, for scripts"},
    QUORIX_INSPECT_OPTIONS,
    {nullptr, nullptr, nullptr},
};

// Files read as whole ROMs of a machine of several sounds.
static Outcome info_rom(const InspectArgs& in, const ParsedArgs& args) {
  const Command& me = info_command;
  if (in.rate) return say(me, Outcome::usage, "each sound of " + in.rom_machine->name + " has its own rate; --rate is for one-voice images");
  const bool json = args.has("json");
  if (args.names.empty()) return say(me, Outcome::usage, "no FILE given");
  if (!in.plot.empty() && args.names.size() != 1) return say(me, Outcome::usage, "--plot draws one FILE; give only one");
  std::string why;
  if (!in.plot.empty() && !plan_outputs(args.names, {in.plot}, &why)) return say(me, Outcome::cannot_write, why);
  Outcome outcome = Outcome::finished;
  bool printed = false;
  for (const std::string& name : args.names) {
    FileHead head;
    if (!read_head(name, largest_eprom + 1, &head, &why)) {
      outcome = worse(outcome, say(me, Outcome::cannot_read, name + ": " + why));
      continue;
    }
    std::vector<uint8_t> rom = head.head;
    if (in.pinout && rom.size() != in.pinout->bytes) {
      outcome = worse(outcome, say(me, Outcome::unusable, strprintf("%s: %zu bytes, pinout %s is for %u", name.c_str(),
                                                                    rom.size(), in.pinout->name.c_str(), in.pinout->bytes)));
      continue;
    }
    if (in.pinout) rom = from_eprom(rom, *in.pinout);
    RomFacts facts;
    if (!rom_facts(*in.rom_machine, name, rom, in.sound, &facts, &why)) {
      outcome = worse(outcome, say(me, Outcome::unusable, name + ": " + why));
      continue;
    }
    if (json) {
      puts(rom_report_json(name, facts).c_str());
    } else {
      if (printed) putchar('\n');
      printed = true;
      fputs(rom_report_text(name, facts).c_str(), stdout);
      if (in.pinout) printf("  read through pinout %s (%s)\n", in.pinout->name.c_str(), in.pinout->sure.c_str());
    }
    if (in.plot.empty() || facts.sounds.empty()) continue;
    // The sounds as listen plays them, at the fastest sound's rate.
    double rate = 0;
    for (const RomSoundFacts& s : facts.sounds) rate = std::max(rate, round(s.sound->rate));
    std::vector<float> played;
    std::vector<uint8_t> png;
    char error[512];
    const Plotter* draw = plotter(error, sizeof error);
    if (!draw) return say(me, Outcome::failed, in.plot + ": " + error);
    if (!render_rom_sounds(rom, facts, rate, listen_gap_ms, &played, &why) ||
        !draw->rom(name + ": rom " + facts.rom->name + " of " + in.rom_machine->name, played, rate,
                   rom_plot_spans(facts, rate, listen_gap_ms), in.plot_size, &png, &why))
      return say(me, Outcome::failed, in.plot + ": " + why);
    if (!write_output(in.plot, png.data(), png.size(), &why)) return say(me, Outcome::cannot_write, why);
  }
  return outcome;
}

static Outcome run_info(const ParsedArgs& args) {
  const Command& me = info_command;
  InspectArgs in;
  std::string why;
  if (!inspect_args(args, &in, &why))
    return say(me, in.table_unreadable ? Outcome::cannot_read : Outcome::usage, why);
  if (in.rom_machine) return info_rom(in, args);
  const bool json = args.has("json");
  const std::vector<std::string>& files = args.names;
  if (files.empty()) return say(me, Outcome::usage, "no FILE given");
  if (!in.plot.empty() && files.size() != 1) return say(me, Outcome::usage, "--plot draws one FILE; give only one");
  if (!in.plot.empty() && !plan_outputs(files, {in.plot}, &why)) return say(me, Outcome::cannot_write, why);
  InspectOptions options;
  options.image.machine = in.machine;
  options.sound.machine = in.machine ? in.machine : default_machine();
  options.image.rate = options.sound.rate = in.rate;
  options.image.code = in.code;
  options.image.code_given = in.code_given;

  Outcome outcome = Outcome::finished;
  bool printed = false;
  for (const std::string& name : files) {
    FileReport r = inspect_file(name, options);
    if (r.kind == FileKind::unusable) {
      if (json) puts(report_json(r).c_str());
      outcome = worse(outcome, say(me, r.unreadable ? Outcome::cannot_read : Outcome::unusable, name + ": " + r.error));
      continue;
    }
    if (json) {
      puts(report_json(r).c_str());
    } else {
      if (printed) putchar('\n');  // a blank line between blocks
      printed = true;
      fputs(report_text(r).c_str(), stdout);
      if (r.kind == FileKind::image)
        for (const DumpMatch& d : match_dumps(in.table, checksum(r.bytes.data(), r.bytes.size()), r.bytes.size()))
          printf("  factory dump: %s, rom %s of %s%s; read it with --machine %s\n", d.dump->file.c_str(),
                 d.rom->name.c_str(), d.machine->name.c_str(), d.dump->sure.empty() ? "" : (" (" + d.dump->sure + ")").c_str(),
                 d.machine->name.c_str());
    }
    if (in.plot.empty()) continue;
    std::vector<uint8_t> png;
    char error[512];
    const Plotter* draw = plotter(error, sizeof error);
    if (!draw) return say(me, Outcome::failed, in.plot + ": " + error);
    bool drawn = r.kind == FileKind::image
                     ? draw->image(r.name, r.bytes.data(), r.image, in.plot_size, &png, &why)
                     : draw->sound(r.name, r.sound, *fit_of(r.sound, options.sound.machine), in.plot_size, &png, &why);
    if (!drawn) return say(me, Outcome::failed, in.plot + ": " + why);
    if (!write_output(in.plot, png.data(), png.size(), &why)) return say(me, Outcome::cannot_write, why);
  }
  return outcome;
}

const Command info_command = {
    "info",
    "FILE...",
    "Tells what is in EPROM images and sound files, one block of facts per\n"
    "file. A file libsndfile reads (by its header) is a sound file; any other\n"
    "file of at most 65536 bytes is an EPROM image.\n"
    "  image: size and EPROM, CRC-32 and SHA-1, the factory voice it is, the\n"
    "    code its bytes look like, and per region of the machine the first\n"
    "    byte, the sound, the padding, an erased tail, the peak through the\n"
    "    DAC and the time at the machine's rate.\n"
    "  sound file: format, channels, rate, frames, duration, peak, DC offset,\n"
    "    and how much of it fits each machine's region (--machine: the region\n"
    "    --plot marks).\n"
    "  a ROM of a machine of several sounds: which of its ROMs the file is, the\n"
    "    factory dump it matches, and per sound its place, code, rate, length,\n"
    "    peak and whether its idle byte is the zero code.\n"
    "Files that cannot be used are named on standard error; the others are\n"
    "still reported.\n",
    info_options,
    run_info,
};
