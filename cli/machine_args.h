// The machine table a run works with: the built-in one, then the owner's
// file in the config folder, then --machines FILE; a machine of the same
// name replaces the one read before.
#pragma once

#include <string>

#include "cli/options.h"
#include "voice/machine_table.h"

#define QUORIX_MACHINES_OPTION \
  {"machines", "FILE", "also read the machines of FILE, after the built-in ones and\nthe config folder's machines.toml"}

// The table of `args`, or false with the one-line reason ("FILE:LINE:
// reason" for a malformed file); `unreadable` says whether a file could
// not be read at all (exit 1) rather than being malformed (exit 64).
bool machine_table_of(const ParsedArgs& args, MachineTable* table, std::string* why, bool* unreadable);

// The machines' notes on how sure they are, one line: "rate: model: ...;
// code: ...", empty when there are none.
std::string sureness_line(const Sureness& sure);
