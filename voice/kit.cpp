#include "voice/kit.h"

#include <toml++/toml.h>

#include "platform/files.h"
#include "text/format.h"

static int line_of(const toml::node& n) { return (int)n.source().begin.line; }

static bool fail(std::string* why, const std::string& source, int line, const std::string& reason) {
  *why = strprintf("%s:%d: %s", source.c_str(), line, reason.c_str());
  return false;
}

bool read_kit(const std::string& text, const std::string& source, const MachineTable& table, Kit* kit,
              std::string* why) {
  toml::table doc;
  try {
    doc = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    return fail(why, source, (int)e.source().begin.line, std::string(e.description()));
  }
  for (const auto& [key, value] : doc)
    if (key.str() != "machine" && key.str() != "output" && key.str() != "sounds" && key.str() != "bases")
      return fail(why, source, line_of(value), "a kit has no key '" + std::string(key.str()) + "'");
  const toml::node* m = doc.get("machine");
  if (!m || !m->is_string()) return fail(why, source, m ? line_of(*m) : 1, "'machine' must name the machine");
  kit->machine = m->as_string()->get();
  const MachineDef* machine = find_machine_def(table, kit->machine);
  if (!machine) return fail(why, source, line_of(*m), "unknown machine '" + kit->machine + "' (quorix machines lists them)");
  if (const toml::node* o = doc.get("output")) {
    if (!o->is_string() || o->as_string()->get().empty()) return fail(why, source, line_of(*o), "'output' must name a folder");
    kit->output = o->as_string()->get();
  }
  const toml::node* sounds = doc.get("sounds");
  if (!sounds || !sounds->is_table() || sounds->as_table()->empty())
    return fail(why, source, sounds ? line_of(*sounds) : 1, "a kit needs a [sounds] table: bd1 = \"kick.wav\"");
  for (const auto& [key, value] : *sounds->as_table()) {
    KitSound s;
    s.sound = std::string(key.str());
    s.line = line_of(value);
    if (!find_sound(*machine, s.sound))
      return fail(why, source, s.line, "machine " + machine->name + " has no sound '" + s.sound + "' (" + sound_names(*machine) + ")");
    if (value.is_string()) {
      s.file = value.as_string()->get();
    } else if (const toml::table* t = value.as_table()) {
      for (const auto& [k, v] : *t) {
        const std::string name(k.str());
        if (name == "file" && v.is_string()) {
          s.file = v.as_string()->get();
        } else if (name == "gain" && v.is_number()) {
          s.gain_given = true;
          s.gain_db = v.is_integer() ? (double)v.as_integer()->get() : v.as_floating_point()->get();
          if (!(s.gain_db >= -120 && s.gain_db <= 120)) return fail(why, source, line_of(v), "'gain' must be -120 to 120 dB");
        } else if (name == "trim" && v.is_boolean()) {
          s.trim = v.as_boolean()->get();
        } else if (name == "channel" && v.is_integer() && v.as_integer()->get() >= 1 && v.as_integer()->get() <= 1 << 20) {
          s.channel = (int)v.as_integer()->get();
        } else {
          return fail(why, source, line_of(v), "sound '" + s.sound + "': '" + name +
                                                   "' is not one of file (a name), gain (dB), trim (true or false), channel (1 or more)");
        }
      }
    } else {
      return fail(why, source, s.line, "sound '" + s.sound + "' must be a file name or { file = \"...\", gain = ... }");
    }
    if (s.file.empty()) return fail(why, source, s.line, "sound '" + s.sound + "' names no file");
    kit->sounds.push_back(s);
  }
  if (const toml::node* b = doc.get("bases")) {
    if (!b->is_table()) return fail(why, source, line_of(*b), "'bases' must be a table: ic34 = \"dump.bin\"");
    for (const auto& [key, value] : *b->as_table()) {
      KitBase base;
      base.rom = std::string(key.str());
      base.line = line_of(value);
      if (!find_rom(*machine, base.rom)) return fail(why, source, base.line, "machine " + machine->name + " has no rom '" + base.rom + "'");
      if (!value.is_string() || value.as_string()->get().empty())
        return fail(why, source, base.line, "base '" + base.rom + "' must be a file name");
      base.file = value.as_string()->get();
      kit->bases.push_back(base);
    }
  }
  return true;
}

std::string kit_path(const std::string& kit_file, const std::string& path) {
  if (absolute_path(path)) return path;
  std::string folder, name;
  split_path(kit_file, &folder, &name);
  return kit_file.substr(0, kit_file.size() - name.size()) + path;
}
