// Options `info` and `listen` share: the machine, its clock, the code the
// image is read in, and a picture.
#pragma once

#include <string>

#include "cli/machine_args.h"
#include "cli/options.h"
#include "inspect/plot.h"
#include "voice/machine.h"
#include "voice/prepare.h"

#define QUORIX_INSPECT_OPTIONS                                                                   \
  {"machine", "NAME", "the machine the image is for (default: a factory chip's own\n"          \
                      "card, else dmx; see quorix machines): its code, clock and region size"}, \
      {"rate", "HZ", "the card's clock, %R (default the machine's)", &rate_range},             \
      {"code", "CODE", "read the image as u255, linear, linear-inverted, signed\nor linear-top6 (default the machine's code)"}, \
      {"plot", "FILE.png", "also draw the waveform"},                                          \
      {"plot-size", "WxH", "the picture's size in pixels, 320x200 to 10000x4000\n(default 1000x360)"}, \
      {"sound", "NAME", "a machine of several sounds: this sound only"},                       \
      {"eprom-pinout", "NAME", "read the image of an EPROM on adapter NAME (tr707-27c256\nis not verified on hardware)"}, \
      QUORIX_MACHINES_OPTION

struct InspectArgs {
  const Machine* machine = nullptr;  // not given
  double rate = 0;  // 0: the machine's
  bool code_given = false;
  SampleCode code = SampleCode::u255;
  std::string plot;  // empty: no picture
  PlotSize plot_size;

  // Not to be copied: `machine` may point into `table`.
  MachineTable table;
  bool table_unreadable = false;
  // A machine of several sounds in whole ROMs, --sound or --eprom-pinout:
  // the image is read as one of its ROMs (inspect/rom.h).
  const MachineDef* rom_machine = nullptr;
  const SoundDef* sound = nullptr;
  const Pinout* pinout = nullptr;
};

// The shared options of `args`, or false with the reason of a usage error.
bool inspect_args(const ParsedArgs& args, InspectArgs* out, std::string* why);
