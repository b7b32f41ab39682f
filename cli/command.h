// The converter's commands. Each describes its options in a table (one
// grammar for all, cli/options.h), composes the steps of the folders below
// and ends in one of the outcomes here; writing goes through cli/output.h.
#pragma once

#include <stdio.h>

#include <string>
#include <vector>

#include "cli/options.h"

// What became of a run, the same for every command, and its exit status.
enum class Outcome {
  finished,      // 0: everything written, or every file reported
  cannot_read,   // 1: an input could not be opened or read
  cannot_write,  // 1: an output or the report could not be written (nothing then changed)
  failed,        // 1: a library failed (the resampler, memory): the input is not to blame
  unusable,      // 2: an input's content is not usable (no sound file or image, damaged, does not fit)
  usage,         // 64: an unknown command or option, a value out of range
};
int exit_status(Outcome outcome);
// Of two files' outcomes, the one a run over both ends with: a usage
// error, then a file that could not be read or written (1), then a file
// whose content is not usable (2).
Outcome worse(Outcome a, Outcome b);

struct Command {
  const char* name;      // the word after `quorix`
  const char* operands;  // "INPUT OUTPUT", for the usage line
  const char* summary;   // what it does, for `quorix NAME --help`; ends in a newline
  const OptionSpec* options;  // ending in an entry with a null name
  // The names in `args` are the operands; help is never set. Returns the outcome.
  Outcome (*run)(const ParsedArgs& args);
};

extern const Command wav2dmx_command;
extern const Command dmx2wav_command;
extern const Command machines_command;
extern const Command prepare_command;
extern const Command kit_command;
extern const Command listen_command;
extern const Command info_command;

// "quorix NAME [options] OPERANDS\n".
std::string usage_line(const Command& command);
// The whole of `quorix NAME --help`.
std::string command_help(const Command& command);

// Prints "quorix NAME: REASON" on standard error and returns `outcome`.
Outcome say(const Command& command, Outcome outcome, const std::string& reason);

// Flushes standard output and checks that every report line reached it
// (a full disk, a closed pipe): `outcome`, or cannot_write with a reason.
Outcome report_written(const Command& command, Outcome outcome);

// The converter itself: `quorix COMMAND ...` with the arguments in UTF-8.
// main() calls it on POSIX systems, wmain() in cli/main_win.cpp on Windows.
int quorix_main(int argc, char** argv);
