// quorix info: what is in EPROM images and sound files, one block of facts
// per file (or one JSON object per line), and a waveform picture on request.
#include <stdio.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/inspect_options.h"
#include "cli/module.h"
#include "cli/output.h"
#include "inspect/inspect.h"
#include "inspect/report.h"

static const OptionSpec info_options[] = {
    {"json", nullptr, "one JSON object per file and line, for scripts"},
    QUORIX_INSPECT_OPTIONS,
    {nullptr, nullptr, nullptr},
};

static Outcome run_info(const ParsedArgs& args) {
  const Command& me = info_command;
  InspectArgs in;
  std::string why;
  if (!inspect_args(args, &in, &why)) return say(me, Outcome::usage, why);
  const bool json = args.has("json");
  const std::vector<std::string>& files = args.names;
  if (files.empty()) return say(me, Outcome::usage, "no FILE given");
  if (!in.plot.empty() && files.size() != 1) return say(me, Outcome::usage, "--plot draws one FILE; give only one");
  if (!in.plot.empty() && !plan_outputs(files, {in.plot}, &why)) return say(me, Outcome::cannot_write, why);
  InspectOptions options;
  options.image.machine = in.machine;
  options.sound.machine = in.machine ? in.machine : default_machine;
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
    "Files that cannot be used are named on standard error; the others are\n"
    "still reported.\n",
    info_options,
    run_info,
};
