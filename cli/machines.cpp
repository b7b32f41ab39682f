// quorix machines: the presets `prepare`, `listen` and `info` know, as a
// table an owner can read before choosing one.
#include <stdio.h>

#include "cli/command.h"
#include "voice/machine.h"

static Outcome run_machines(const ParsedArgs& args) {
  if (!args.names.empty()) return say(machines_command, Outcome::usage, "takes no file names: " + args.names[0]);
  printf("%-11s %-15s %8s %6s %5s %5s %5s  %s\n", "NAME", "CODE", "RATE", "REGION", "CHIP", "FIRST",
         "PAD", "DESCRIPTION");
  for (size_t i = 0; i < machine_count; i++) {
    const Machine& m = machines[i];
    char chip[16] = "-";
    if (m.chip) snprintf(chip, sizeof chip, "%u", m.chip);
    printf("%-11s %-15s %5.0f Hz %6u %5s  0x%02X  0x%02X  %s%s\n", m.name, code_name(m.code), m.rate,
           m.region, chip, m.first_byte, m.pad, m.description, &m == default_machine ? " (default)" : "");
  }
  printf("\nRATE is the card's typical clock: a trimmer sets it, so measure yours and use --rate.\n"
         "REGION is what one trigger plays; FIRST is held by the DAC while idle and never\n"
         "played; PAD fills the region after the sound; CHIP splits a region over EPROMs.\n"
         "EPROMs (bytes):");
  for (size_t i = 0; i < eprom_count; i++)
    printf(" %s = %u%s", eproms[i].name, eproms[i].bytes, i + 1 < eprom_count ? "," : ".\n");
  return Outcome::finished;
}

static const OptionSpec machines_options[] = {{nullptr, nullptr, nullptr}};

const Command machines_command = {
    "machines",
    "",
    "Lists the machine presets: name, sample code, typical sample clock, the\n"
    "bytes one trigger plays, how a region is split over chips, and what the\n"
    "first byte and the padding are.\n",
    machines_options,
    run_machines,
};
