// quorix machines: the machines `prepare`, `listen` and `info` know, where
// each came from, and one of them in full in the machine file's form.
#include <stdio.h>

#include "cli/command.h"
#include "cli/machine_args.h"

static Outcome run_machines(const ParsedArgs& args) {
  const Command& me = machines_command;
  if (!args.names.empty()) return say(me, Outcome::usage, "takes no file names: " + args.names[0]);
  MachineTable table;
  std::string why;
  bool unreadable = false;
  if (!machine_table_of(args, &table, &why, &unreadable))
    return say(me, unreadable ? Outcome::cannot_read : Outcome::usage, why);
  if (const std::string* name = args.last("show")) {
    const MachineDef* m = find_machine_def(table, *name);
    if (!m) return say(me, Outcome::usage, "unknown machine (quorix machines lists them): " + *name);
    fputs(machine_toml(*m, table).c_str(), stdout);
    return Outcome::finished;
  }
  printf("%-11s %-16s %8s %4s %6s  %-9s %s\n", "NAME", "CODE", "RATE", "ROMS", "SOUNDS", "SOURCE",
         "DESCRIPTION");
  for (const MachineDef& m : table.machines) {
    std::string sounds = m.sounds.empty() ? "range" : std::to_string(m.sounds.size());
    printf("%-11s %-16s %5.0f Hz %4zu %6s  %-9s %s%s\n", m.name.c_str(), m.code_text.c_str(), m.rate,
           m.roms.size(), sounds.c_str(), m.source == "built-in" ? "built-in" : "file", m.description.c_str(),
           &m == &table.machines.front() ? " (default)" : "");
  }
  for (const MachineDef& m : table.machines)
    if (m.source != "built-in") printf("%s is from %s\n", m.name.c_str(), m.source.c_str());
  printf("\nRATE is a typical clock: most cards have a trimmer, so measure yours and use --rate.\n"
         "SOUNDS counts the sounds by name (--sound); \"range\" machines take --at and --length.\n"
         "quorix machines --show NAME prints one machine in the machine file's form: its ROMs,\n"
         "its sounds' places, codes and idle bytes, and how sure each value is (model,\n"
         "service notes, owners, unverified).\n"
         "EPROMs (bytes):");
  for (size_t i = 0; i < eprom_count; i++)
    printf(" %s = %u%s", eproms[i].name, eproms[i].bytes, i + 1 < eprom_count ? "," : ".\n");
  return Outcome::finished;
}

static const OptionSpec machines_options[] = {
    {"show", "NAME", "print machine NAME in the machine file's form, to copy and edit"},
    QUORIX_MACHINES_OPTION,
    {nullptr, nullptr, nullptr},
};

const Command machines_command = {
    "machines",
    "",
    "Lists the machines: name, default code and clock, ROMs and sounds, and\n"
    "where each was read from (built in, the config folder's machines.toml,\n"
    "or --machines FILE; a later file's machine replaces one of the same name).\n",
    machines_options,
    run_machines,
};
