// quorix kit: every ROM of a machine a kit file touches, from a folder of
// samples, in one all-or-nothing run with one report (voice/kit.h holds
// the file's form).
#include <math.h>
#include <stdio.h>

#include <fstream>
#include <iterator>
#include <map>

#include "cli/command.h"
#include "cli/machine_args.h"
#include "cli/output.h"
#include "cli/prepare.h"
#include "platform/files.h"
#include "text/format.h"
#include "voice/audio.h"
#include "voice/kit.h"
#include "voice/layout.h"

static const OptionSpec kit_options[] = {
    {"preview", nullptr, "also write what every sound plays, SOUND.wav beside the ROMs"},
    {"quiet", nullptr, "print nothing but errors (default: the report)"},
    QUORIX_MACHINES_OPTION,
    {nullptr, nullptr, nullptr},
};

static std::string joined(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  const char last = folder.back();
  return folder + (last == '/' || last == '\\' ? "" : "/") + name;
}

static Outcome run_kit(const ParsedArgs& args) {
  const Command& me = kit_command;
  std::string why;
  if (args.names.size() != 1) return say(me, Outcome::usage, args.names.empty() ? "KIT.toml is needed" : "one KIT.toml at a time");
  MachineTable table;
  bool unreadable = false;
  if (!machine_table_of(args, &table, &why, &unreadable)) return say(me, unreadable ? Outcome::cannot_read : Outcome::usage, why);
  const std::string& kit_file = args.names[0];
  std::ifstream f(kit_file, std::ios::binary);
  if (!f || file_type(kit_file) != FileType::regular) return say(me, Outcome::cannot_read, kit_file + ": cannot read the kit file");
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  Kit kit;
  if (!read_kit(text, kit_file, table, &kit, &why)) return say(me, Outcome::usage, why);
  const MachineDef& machine = *find_machine_def(table, kit.machine);
  const bool quiet = args.has("quiet"), preview = args.has("preview");
  const std::string folder = kit_path(kit_file, kit.output.empty() ? "." : kit.output);

  // Every sample must be there before anything is prepared: a missing one
  // is the owner's to fix, and nothing is written.
  std::vector<std::string> inputs;
  for (const KitSound& s : kit.sounds) {
    inputs.push_back(kit_path(kit_file, s.file));
    if (file_type(inputs.back()) == FileType::missing)
      return say(me, Outcome::cannot_read, strprintf("%s:%d: sound '%s': no such file %s", kit_file.c_str(), s.line,
                                                     s.sound.c_str(), inputs.back().c_str()));
  }
  // The ROMs the kit touches, each from its base or fresh.
  std::map<std::string, std::vector<uint8_t>> roms;
  std::vector<const RomDef*> order;
  for (const KitSound& s : kit.sounds) {
    const RomDef* rom = find_rom(machine, find_sound(machine, s.sound)->rom);
    if (roms.count(rom->name)) continue;
    order.push_back(rom);
    roms[rom->name] = blank_rom(machine, *rom);
    for (const KitBase& b : kit.bases) {
      if (b.rom != rom->name) continue;
      bool cannot_read = false;
      if (!read_rom_image(kit_path(kit_file, b.file), rom->bytes, *rom, nullptr, &roms[rom->name], &why, &cannot_read))
        return say(me, cannot_read ? Outcome::cannot_read : Outcome::unusable,
                   strprintf("%s:%d: base of %s: %s", kit_file.c_str(), b.line, rom->name.c_str(), why.c_str()));
    }
  }
  std::vector<std::string> outputs;
  for (const RomDef* rom : order) outputs.push_back(joined(folder, rom->file));
  if (preview)
    for (const KitSound& s : kit.sounds) outputs.push_back(joined(folder, s.sound + ".wav"));
  if (!plan_outputs(inputs, outputs, &why)) return say(me, Outcome::cannot_write, why);

  std::vector<OutputFile> files;
  for (size_t i = 0; i < kit.sounds.size(); i++) {
    const KitSound& k = kit.sounds[i];
    const SoundDef& s = *find_sound(machine, k.sound);
    if (!quiet) printf("%sSound: %s of %s\n", i ? "\n" : "", s.name.c_str(), machine.name.c_str());
    PrepareOptions o;
    o.normalize = !k.gain_given;
    o.gain_db = k.gain_db;
    o.trim = k.trim;
    o.channel = k.channel;
    std::vector<uint8_t> codes;
    Outcome prepared = prepare_sound_codes(inputs[i], machine, s, o, quiet, &codes, &why);
    if (prepared != Outcome::finished)
      return say(me, prepared, strprintf("%s:%d: sound '%s': %s; nothing was written", kit_file.c_str(), k.line,
                                         k.sound.c_str(), why.c_str()));
    place_sound(&roms[s.rom], s, codes);
    if (preview) {
      std::vector<float> levels(codes.size());
      for (size_t j = 0; j < codes.size(); j++) levels[j] = (float)code_output(codes[j], s.code);
      files.push_back({joined(folder, s.name + ".wav"), {}, {}});
      if (!encode_wav(levels.data(), levels.size(), (int)llround(s.rate), WavSamples::pcm16, &files.back().bytes, &why))
        return say(me, Outcome::failed, "cannot make the preview: " + why);
    }
  }
  for (const RomDef* rom : order) files.push_back({joined(folder, rom->file), roms[rom->name], {}});
  if (!write_outputs(files, &why)) return say(me, Outcome::cannot_write, why + "; nothing was written");
  if (!quiet) {
    putchar('\n');
    for (const OutputFile& out : files) printf("Output: %s (%zu bytes)\n", out.path.c_str(), out.bytes.size());
    puts("Finished.");
  }
  return Outcome::finished;
}

const Command kit_command = {
    "kit",
    "KIT.toml",
    "Builds every ROM a kit file touches from its samples, in one run: each\n"
    "sound prepared for its place, rate and code, every ROM written whole (named\n"
    "as the machine names it, ic34.bin) or none at all. A kit file (TOML, paths\n"
    "relative to it):\n"
    "  machine = \"tr707\"\n"
    "  output = \"roms\"                # a folder; default the kit file's own\n"
    "  [sounds]\n"
    "  bd1 = \"kick.wav\"\n"
    "  sd1 = { file = \"snare.wav\", gain = -3.0, trim = true, channel = 1 }\n"
    "  [bases]                        # ROM images the sounds go into; default a\n"
    "  ic34 = \"dumps/ic34.bin\"        # fresh ROM with every other sound silent\n"
    "The sounds and ROMs of a machine: quorix machines, with the machine's name.\n",
    kit_options,
    run_kit,
};
