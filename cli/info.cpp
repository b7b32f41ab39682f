// quorix info: what is in EPROM images and sound files, one block of facts
// per file (or one JSON object per line), and a waveform picture on request.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/inspect_options.h"
#include "inspect/inspect.h"
#include "cli/module.h"
#include "inspect/report.h"
#include "voice/output.h"

static int run_info(int argc, char** argv) {
  InspectOptions options;
  bool json = false;
  const char* plot = nullptr;
  PlotSize plot_size;
  std::vector<std::string> files;
  bool options_done = false;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (options_done || a[0] != '-' || a[1] != '-') {
      files.push_back(a);
    } else if (strcmp(a, "--") == 0) {
      options_done = true;
    } else if (strcmp(a, "--json") == 0) {
      json = true;
    } else if (strcmp(a, "--machine") == 0 || strcmp(a, "--rate") == 0 || strcmp(a, "--code") == 0 ||
               strcmp(a, "--plot") == 0 || strcmp(a, "--plot-size") == 0) {
      if (!value) return command_usage_error(info_command, "needs a value", a);
      i++;
      if (strcmp(a, "--machine") == 0) {
        const Machine* m = find_machine(value);
        if (!m) return command_usage_error(info_command, "unknown machine (see quorix machines)", value);
        options.image.machine = options.sound.machine = m;
      } else if (strcmp(a, "--rate") == 0) {
        if (!parse_hz(value, false, &options.image.rate))
          return command_usage_error(info_command, "--rate needs a number from 1000 to 200000 Hz", value);
        options.sound.rate = options.image.rate;
      } else if (strcmp(a, "--code") == 0) {
        if (!parse_code(value, &options.image.code))
          return command_usage_error(info_command, "--code takes u255, linear or linear-inverted", value);
        options.image.code_given = true;
      } else if (strcmp(a, "--plot") == 0) {
        plot = value;
      } else if (!parse_plot_size(value, &plot_size)) {
        return command_usage_error(info_command, "--plot-size needs WIDTHxHEIGHT, 320x200 to 10000x4000",
                                   value);
      }
    } else {
      return command_usage_error(info_command, "unknown option", a);
    }
  }
  if (files.empty()) return command_usage_error(info_command, "no FILE given");
  if (plot && files.size() != 1)
    return command_usage_error(info_command, "--plot draws one FILE; give only one");

  bool unusable = false, failed = false, printed = false;
  for (size_t i = 0; i < files.size(); i++) {
    FileReport r = inspect_file(files[i], options);
    if (r.kind == FileKind::unusable) {
      unusable = true;
      if (json) puts(report_json(r).c_str());
      fflush(stdout);
      fprintf(stderr, "quorix info: %s: %s\n", files[i].c_str(), r.error.c_str());
      continue;
    }
    if (json) {
      puts(report_json(r).c_str());
    } else {
      if (printed) putchar('\n');  // a blank line between blocks
      printed = true;
      fputs(report_text(r).c_str(), stdout);
    }
    if (!plot) continue;
    std::vector<uint8_t> png;
    std::string error;
    char why[512];
    const Plotter* draw = plotter(why, sizeof why);
    if (!draw) error = why;
    bool drawn =
        draw && (r.kind == FileKind::image
                     ? draw->image(r.name, r.bytes.data(), r.image, plot_size, &png, &error)
                     : draw->sound(r.name, r.sound, *fit_of(r.sound, options.sound.machine), plot_size, &png,
                                   &error));
    if (!drawn || !write_output(plot, png.data(), png.size(), &error)) {
      fflush(stdout);
      fprintf(stderr, "quorix info: %s: %s\n", plot, error.c_str());
      failed = true;
    }
  }
  if (fflush(stdout) != 0) failed = true;
  return failed ? EXIT_FAILED : unusable ? EXIT_BAD_INPUT : EXIT_FINISHED;
}

const Command info_command = {
    "info",
    "quorix info [--json] [--machine NAME] [--rate HZ] [--code CODE]\n"
    "                   [--plot FILE.png] [--plot-size WxH] FILE...\n",
    "Tells what is in EPROM images and sound files, one block of facts per\n"
    "file. A file libsndfile reads (by its header) is a sound file; any other\n"
    "file of at most 65536 bytes is an EPROM image.\n"
    "  image: size and EPROM, CRC-32 and SHA-1, the factory voice it is, the\n"
    "    code its bytes look like, and per region of the machine the first\n"
    "    byte, the sound, the padding, an erased tail, the peak through the\n"
    "    DAC and the time at the machine's rate.\n"
    "  sound file: format, channels, rate, frames, duration, peak, DC offset,\n"
    "    and how much of it fits each machine's region.\n"
    "\n"
    "  --json            one JSON object per file and line, for scripts\n"
    "  --machine NAME    the machine the image is for (default dmx; see\n"
    "                    quorix machines); for a sound file, the region --plot marks\n"
    "  --rate HZ         the card's clock, 1000 to 200000 (default the machine's)\n"
    "  --code CODE       read the image as u255, linear or linear-inverted\n"
    "                    (default the machine's code)\n"
    "  --plot FILE.png   draw the waveform of the one FILE given\n"
    "  --plot-size WxH   the picture's size in pixels (default 1000x360)\n"
    "\n"
    "Exit status: 0 every file reported; 1 the picture could not be written;\n"
    "2 a file could not be used (the reason is on stderr, the others are still\n"
    "reported); 64 usage error.\n",
    run_info,
};
