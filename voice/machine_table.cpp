#include "voice/machine_table.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <toml++/toml.h>

#include "text/format.h"

namespace {

// What can be a size or a clock at all; prepare checks its own, narrower
// limits when a sound is used.
const int64_t most_bytes = 16 << 20;
const double most_hz = 1e7;

// A fault of the file: where it is and why. The first one ends the reading.
struct Fault {
  int line = 0;
  std::string reason;
};

int line_of(const toml::node& node) { return (int)node.source().begin.line; }

class Reader {
 public:
  explicit Reader(Fault* fault) : fault_(fault) {}
  bool failed() const { return !fault_->reason.empty(); }
  void fail(int line, const std::string& reason) {
    if (failed()) return;
    fault_->line = line;
    fault_->reason = reason;
  }

  // Every key of `t` must be one of `known`: a misspelt key would
  // otherwise leave a value at its default without a word.
  void only(const toml::table& t, std::initializer_list<const char*> known, const char* what) {
    for (const auto& [key, value] : t) {
      bool ok = false;
      for (const char* k : known) ok = ok || key.str() == k;
      if (!ok) fail(line_of(value), strprintf("%s has no key '%s'", what, std::string(key.str()).c_str()));
    }
  }

  bool text(const toml::table& t, const char* key, std::string* out, bool required, int line) {
    const toml::node* n = t.get(key);
    if (!n) {
      if (required) fail(line, strprintf("'%s' is missing", key));
      return false;
    }
    if (!n->is_string()) {
      fail(line_of(*n), strprintf("'%s' must be a string", key));
      return false;
    }
    *out = n->as_string()->get();
    return true;
  }

  bool integer(const toml::table& t, const char* key, int64_t lo, int64_t hi, int64_t* out, bool required,
               int line) {
    const toml::node* n = t.get(key);
    if (!n) {
      if (required) fail(line, strprintf("'%s' is missing", key));
      return false;
    }
    if (!n->is_integer()) {
      fail(line_of(*n), strprintf("'%s' must be a whole number", key));
      return false;
    }
    int64_t v = n->as_integer()->get();
    if (v < lo || v > hi) {
      fail(line_of(*n), strprintf("'%s' must be %lld to %lld, not %lld", key, (long long)lo, (long long)hi,
                                  (long long)v));
      return false;
    }
    *out = v;
    return true;
  }

  bool number(const toml::table& t, const char* key, double* out) {
    const toml::node* n = t.get(key);
    if (!n) return false;
    if (!n->is_number()) {
      fail(line_of(*n), strprintf("'%s' must be a number", key));
      return false;
    }
    double v = n->is_integer() ? (double)n->as_integer()->get() : n->as_floating_point()->get();
    if (!(v > 0 && v <= most_hz)) {
      fail(line_of(*n), strprintf("'%s' must be a number of Hz above 0", key));
      return false;
    }
    *out = v;
    return true;
  }

  bool flag(const toml::table& t, const char* key, bool* out) {
    const toml::node* n = t.get(key);
    if (!n) return false;
    if (!n->is_boolean()) {
      fail(line_of(*n), strprintf("'%s' must be true or false", key));
      return false;
    }
    *out = n->as_boolean()->get();
    return true;
  }

  void sureness(const toml::table& t, Sureness* out) {
    const toml::node* n = t.get("sure");
    if (!n) return;
    const toml::table* s = n->as_table();
    if (!s) return fail(line_of(*n), "'sure' must be a table of texts: sure = { rate = \"model\" }");
    for (const auto& [key, value] : *s) {
      if (!value.is_string()) return fail(line_of(value), "every value of 'sure' must be a string");
      out->emplace_back(std::string(key.str()), value.as_string()->get());
    }
  }

  // The tables of the array `key` of `t` ([[machine.rom]]), none when absent.
  std::vector<const toml::table*> tables(const toml::table& t, const char* key) {
    std::vector<const toml::table*> out;
    const toml::node* n = t.get(key);
    if (!n) return out;
    const toml::array* a = n->as_array();
    if (!a) {
      fail(line_of(*n), strprintf("'%s' must be an array of tables ([[...%s]])", key, key));
      return out;
    }
    for (const toml::node& e : *a) {
      if (!e.is_table()) {
        fail(line_of(e), strprintf("every '%s' must be a table", key));
        return out;
      }
      out.push_back(e.as_table());
    }
    return out;
  }

 private:
  Fault* fault_;
};

const char* const code_names = "u255, linear, linear-inverted, signed or linear-top6";

bool parse_idle(const std::string& name, Idle* idle) {
  if (name == "first") *idle = Idle::first;
  else if (name == "last") *idle = Idle::last;
  else if (name == "none") *idle = Idle::none;
  else return false;
  return true;
}

bool read_rom(Reader& r, const toml::table& t, RomDef* rom) {
  rom->line = line_of(t);
  r.only(t, {"name", "file", "bytes", "eprom", "chip", "pinouts", "factory", "sure"}, "a rom");
  r.text(t, "name", &rom->name, true, rom->line);
  if (!r.text(t, "file", &rom->file, false, rom->line)) rom->file = rom->name + ".bin";
  int64_t v = 0;
  if (r.integer(t, "bytes", 1, most_bytes, &v, true, rom->line)) rom->bytes = (uint32_t)v;
  r.text(t, "eprom", &rom->eprom, false, rom->line);
  if (!rom->eprom.empty() && !r.failed() && !find_eprom(rom->eprom.c_str()))
    r.fail(line_of(*t.get("eprom")), "unknown EPROM '" + rom->eprom + "'");
  if (r.integer(t, "chip", 1, most_bytes, &v, false, rom->line)) {
    rom->chip = (uint32_t)v;
    if (rom->bytes % rom->chip)
      r.fail(line_of(*t.get("chip")), strprintf("%u bytes are no whole number of %u-byte chips", rom->bytes, rom->chip));
  }
  if (const toml::node* p = t.get("pinouts")) {
    const toml::array* a = p->as_array();
    if (!a) r.fail(line_of(*p), "'pinouts' must be an array of names");
    for (size_t i = 0; a && i < a->size(); i++) {
      if (!(*a)[i].is_string()) {
        r.fail(line_of((*a)[i]), "'pinouts' must be an array of names");
        break;
      }
      rom->pinouts.push_back((*a)[i].as_string()->get());
    }
  }
  if (const toml::node* f = t.get("factory")) {
    const toml::array* a = f->as_array();
    if (!a) r.fail(line_of(*f), "'factory' must be an array of { file, crc32, sha1, sure }");
    for (size_t i = 0; a && i < a->size() && !r.failed(); i++) {
      const toml::node& e = (*a)[i];
      const toml::table* ft = e.as_table();
      if (!ft) {
        r.fail(line_of(e), "'factory' must be an array of { file, crc32, sha1, sure }");
        break;
      }
      FactoryDump d;
      r.only(*ft, {"file", "crc32", "sha1", "sure"}, "a factory dump");
      r.text(*ft, "file", &d.file, true, line_of(e));
      r.text(*ft, "crc32", &d.crc32, true, line_of(e));
      r.text(*ft, "sha1", &d.sha1, true, line_of(e));
      r.text(*ft, "sure", &d.sure, false, line_of(e));
      auto hex = [](const std::string& s, size_t n) {
        return s.size() == n && s.find_first_not_of("0123456789abcdef") == std::string::npos;
      };
      if (!r.failed() && !(hex(d.crc32, 8) && hex(d.sha1, 40)))
        r.fail(line_of(e), "a factory dump's crc32 is 8 and its sha1 40 lower-case hex digits");
      rom->factory.push_back(d);
    }
  }
  r.sureness(t, &rom->sure);
  return !r.failed();
}

// The sound's values, its machine's where it gives none.
bool read_sound(Reader& r, const toml::table& t, const MachineDef& m, SoundDef* s) {
  s->line = line_of(t);
  r.only(t, {"name", "rom", "offset", "step", "length", "rate", "code", "idle", "zero", "idle_code", "loop", "sure"},
         "a sound");
  r.text(t, "name", &s->name, true, s->line);
  if (!r.text(t, "rom", &s->rom, false, s->line)) {
    if (m.roms.size() == 1)
      s->rom = m.roms[0].name;
    else
      r.fail(s->line, "sound '" + s->name + "' names no rom, and its machine has " +
                          std::to_string(m.roms.size()));
  }
  int64_t v = 0;
  if (r.integer(t, "offset", 0, most_bytes, &v, true, s->line)) s->offset = (uint32_t)v;
  if (r.integer(t, "step", 1, 2, &v, false, s->line)) s->step = (uint32_t)v;
  if (const toml::node* n = t.get("length"); n && n->is_integer() && n->as_integer()->get() <= 0)
    r.fail(line_of(*n), strprintf("sound '%s' has a length of %lld: it must be 1 or more", s->name.c_str(),
                                  (long long)n->as_integer()->get()));
  if (r.integer(t, "length", 1, most_bytes, &v, true, s->line)) s->length = (uint32_t)v;
  s->rate = m.rate;
  r.number(t, "rate", &s->rate);
  if (!r.failed() && !(s->rate > 0)) r.fail(s->line, "sound '" + s->name + "' has no rate, nor has its machine");
  std::string code = m.code_text;
  const bool own_code = r.text(t, "code", &code, false, s->line);
  if (!r.failed() && code.empty()) r.fail(s->line, "sound '" + s->name + "' has no code, nor has its machine");
  if (!r.failed() && !parse_code(code.c_str(), &s->code))
    r.fail(own_code ? line_of(*t.get("code")) : m.line,
           "unknown code '" + code + "': it must be " + code_names);
  std::string idle = m.idle_text.empty() ? "first" : m.idle_text;
  const bool own_idle = r.text(t, "idle", &idle, false, s->line);
  if (!r.failed() && !parse_idle(idle, &s->idle))
    r.fail(own_idle ? line_of(*t.get("idle")) : m.line, "'idle' must be first, last or none, not '" + idle + "'");
  int64_t zero = m.zero >= 0 ? m.zero : zero_code(s->code);
  r.integer(t, "zero", 0, 255, &zero, false, s->line);
  s->zero = (uint8_t)zero;
  int64_t idle_code = m.idle_code >= 0 ? m.idle_code : zero;
  r.integer(t, "idle_code", 0, 255, &idle_code, false, s->line);
  s->idle_code = (uint8_t)idle_code;
  r.flag(t, "loop", &s->loop);
  if (!r.failed() && s->loop && s->idle != Idle::none)
    r.fail(s->line, "sound '" + s->name + "' loops without end: its idle must be none");
  r.sureness(t, &s->sure);
  return !r.failed();
}

bool read_machine(Reader& r, const toml::table& t, MachineDef* m) {
  m->line = line_of(t);
  r.only(t, {"name", "description", "code", "rate", "idle", "zero", "idle_code", "sure", "rom", "sound"},
         "a machine");
  r.text(t, "name", &m->name, true, m->line);
  if (!r.failed() && (m->name.empty() || m->name.find_first_of(" \t/\\") != std::string::npos))
    r.fail(m->line, "a machine's name must be one word");
  r.text(t, "description", &m->description, false, m->line);
  r.text(t, "code", &m->code_text, false, m->line);
  r.number(t, "rate", &m->rate);
  r.text(t, "idle", &m->idle_text, false, m->line);
  int64_t v = 0;
  if (r.integer(t, "zero", 0, 255, &v, false, m->line)) m->zero = (int)v;
  if (r.integer(t, "idle_code", 0, 255, &v, false, m->line)) m->idle_code = (int)v;
  r.sureness(t, &m->sure);
  for (const toml::table* rt : r.tables(t, "rom")) {
    RomDef rom;
    if (!read_rom(r, *rt, &rom)) return false;
    if (find_rom(*m, rom.name)) r.fail(rom.line, "rom '" + rom.name + "' twice in machine '" + m->name + "'");
    m->roms.push_back(rom);
  }
  if (!r.failed() && m->roms.empty()) r.fail(m->line, "machine '" + m->name + "' has no rom");
  for (const toml::table* st : r.tables(t, "sound")) {
    if (r.failed()) break;
    SoundDef s;
    if (!read_sound(r, *st, *m, &s)) return false;
    if (find_sound(*m, s.name)) r.fail(s.line, "sound '" + s.name + "' twice in machine '" + m->name + "'");
    m->sounds.push_back(s);
  }
  if (r.failed()) return false;
  // Every sound inside its ROM, no byte in two sounds.
  for (const RomDef& rom : m->roms) {
    std::vector<const SoundDef*> owner(rom.bytes, nullptr);
    for (const SoundDef& s : m->sounds) {
      if (s.rom != rom.name) continue;
      uint64_t last = s.offset + (uint64_t)(s.length - 1) * s.step;
      if (last >= rom.bytes) {
        r.fail(s.line, strprintf("sound '%s' ends at byte %llu, outside rom '%s' of %u bytes", s.name.c_str(),
                                 (unsigned long long)last, rom.name.c_str(), rom.bytes));
        return false;
      }
      for (uint64_t a = s.offset; a <= last; a += s.step) {
        if (owner[a]) {
          r.fail(s.line, strprintf("sound '%s' overlaps sound '%s' at byte %llu of rom '%s'", s.name.c_str(),
                                   owner[a]->name.c_str(), (unsigned long long)a, rom.name.c_str()));
          return false;
        }
        owner[a] = &s;
      }
    }
  }
  for (const SoundDef& s : m->sounds)
    if (!find_rom(*m, s.rom)) {
      r.fail(s.line, "sound '" + s.name + "' is in rom '" + s.rom + "', which machine '" + m->name + "' has not");
      return false;
    }
  return true;
}

bool read_pinout(Reader& r, const toml::table& t, Pinout* p) {
  p->line = line_of(t);
  r.only(t, {"name", "description", "bytes", "address", "copies", "sure"}, "a pinout");
  r.text(t, "name", &p->name, true, p->line);
  r.text(t, "description", &p->description, false, p->line);
  r.text(t, "sure", &p->sure, false, p->line);
  int64_t v = 0;
  if (r.integer(t, "bytes", 2, most_bytes, &v, true, p->line)) p->bytes = (uint32_t)v;
  if (r.integer(t, "copies", 2, 64, &v, false, p->line)) {
    p->copies = (uint32_t)v;
    if (p->bytes % p->copies) r.fail(p->line, "'bytes' must be a whole number of copies");
  }
  if (const toml::node* n = t.get("address")) {
    const toml::array* a = n->as_array();
    int bits = 0;
    while ((1u << bits) < p->bytes) bits++;
    std::vector<bool> seen((size_t)bits, false);
    if (!a || (1u << bits) != p->bytes || (int)a->size() != bits) {
      r.fail(line_of(*n), strprintf("'address' must list the %d address lines of a power-of-two size", bits));
      return false;
    }
    for (const toml::node& e : *a) {
      int64_t k = e.is_integer() ? e.as_integer()->get() : -1;
      if (k < 0 || k >= bits || seen[(size_t)k]) {
        r.fail(line_of(e), strprintf("'address' must hold each of 0 to %d once", bits - 1));
        return false;
      }
      seen[(size_t)k] = true;
      p->address.push_back((int)k);
    }
  }
  if (!r.failed() && (p->address.empty() == (p->copies == 0)))
    r.fail(p->line, "a pinout has either 'address' or 'copies'");
  return !r.failed();
}

std::string quoted(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string number_text(double v) { return v == (double)(int64_t)v ? strprintf("%lld", (long long)v) : strprintf("%g", v); }

std::string sure_text(const Sureness& s) {
  std::string out;
  for (const auto& [key, value] : s) out += (out.empty() ? "" : ", ") + key + " = " + quoted(value);
  return "{ " + out + " }";
}

}  // namespace

std::string load_machines(const std::string& text, const std::string& source, MachineTable* table) {
  Fault fault;
  toml::table doc;
  try {
    doc = toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    return strprintf("%s:%u: %s", source.c_str(), (unsigned)e.source().begin.line,
                     std::string(e.description()).c_str());
  }
  Reader r(&fault);
  MachineTable read;
  r.only(doc, {"machine", "pinout"}, "the file");
  for (const toml::table* t : r.tables(doc, "pinout")) {
    Pinout p;
    p.source = source;
    if (!read_pinout(r, *t, &p)) break;
    for (const Pinout& q : read.pinouts)
      if (q.name == p.name) r.fail(p.line, "pinout '" + p.name + "' twice");
    read.pinouts.push_back(p);
  }
  for (const toml::table* t : r.tables(doc, "machine")) {
    if (r.failed()) break;
    MachineDef m;
    m.source = source;
    if (!read_machine(r, *t, &m)) break;
    if (find_machine_def(read, m.name)) r.fail(m.line, "machine '" + m.name + "' twice");
    for (const RomDef& rom : m.roms)
      for (const std::string& name : rom.pinouts) {
        const Pinout* p = find_pinout(read, name);
        if (!p) p = find_pinout(*table, name);
        if (!p)
          r.fail(rom.line, "rom '" + rom.name + "' names pinout '" + name + "', which no file defines");
        else if (p->bytes % rom.bytes || (p->copies == 0 && p->bytes != rom.bytes))
          r.fail(rom.line, "pinout '" + name + "' is for a " + std::to_string(p->bytes) + "-byte EPROM");
      }
    read.machines.push_back(std::move(m));
  }
  if (r.failed()) return strprintf("%s:%d: %s", source.c_str(), fault.line, fault.reason.c_str());
  for (Pinout& p : read.pinouts) {
    Pinout* old = nullptr;
    for (Pinout& q : table->pinouts)
      if (q.name == p.name) old = &q;
    if (old)
      *old = std::move(p);
    else
      table->pinouts.push_back(std::move(p));
  }
  for (MachineDef& m : read.machines) {
    MachineDef* old = nullptr;
    for (MachineDef& q : table->machines)
      if (q.name == m.name) old = &q;
    if (old)
      *old = std::move(m);
    else
      table->machines.push_back(std::move(m));
  }
  table->finish();
  return "";
}

std::string load_machine_file(const std::string& path, MachineTable* table) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return path + ": cannot read the file: " + strerror(errno);
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  if (f.bad()) return path + ": cannot read the file";
  return load_machines(text, path, table);
}

void MachineTable::finish() {
  views.clear();
  for (const MachineDef& m : machines)
    if (m.sounds.size() == 1 && !m.sounds[0].loop && m.sounds[0].step == 1)
      views.push_back(sound_view(m, m.sounds[0]));
}

const MachineTable& builtin_machines() {
  static const MachineTable table = [] {
    MachineTable t;
    std::string error = load_machines(builtin_machines_toml, "built-in", &t);
    // The built-in file is checked by the tests; a fault here is a build
    // gone wrong, and no command can run without the table.
    if (!error.empty()) {
      fprintf(stderr, "quorix: the built-in machine table: %s\n", error.c_str());
      abort();
    }
    return t;
  }();
  return table;
}

const MachineDef* find_machine_def(const MachineTable& table, const std::string& name) {
  for (const MachineDef& m : table.machines)
    if (m.name == name) return &m;
  return nullptr;
}

const SoundDef* find_sound(const MachineDef& machine, const std::string& name) {
  for (const SoundDef& s : machine.sounds)
    if (s.name == name) return &s;
  return nullptr;
}

const RomDef* find_rom(const MachineDef& machine, const std::string& name) {
  for (const RomDef& r : machine.roms)
    if (r.name == name) return &r;
  return nullptr;
}

const Pinout* find_pinout(const MachineTable& table, const std::string& name) {
  for (const Pinout& p : table.pinouts)
    if (p.name == name) return &p;
  return nullptr;
}

const SoundDef* default_sound(const MachineDef& machine) {
  if (machine.sounds.size() == 1) return &machine.sounds[0];
  return find_sound(machine, "voice");
}

std::string sound_names(const MachineDef& m) {
  std::string out;
  for (const SoundDef& s : m.sounds) out += (out.empty() ? "" : ", ") + s.name;
  return out;
}

SoundDef range_sound(const MachineDef& m, const RomDef& rom, uint32_t offset, uint32_t length) {
  SoundDef s;
  s.name = strprintf("0x%X-0x%X", offset, offset + length - 1);
  s.rom = rom.name;
  s.offset = offset;
  s.length = length;
  s.rate = m.rate;
  if (!parse_code(m.code_text.c_str(), &s.code)) s.code = SampleCode::u255;
  parse_idle(m.idle_text, &s.idle);
  s.zero = (uint8_t)(m.zero >= 0 ? m.zero : zero_code(s.code));
  s.idle_code = (uint8_t)(m.idle_code >= 0 ? m.idle_code : s.zero);
  return s;
}

Machine sound_view(const MachineDef& machine, const SoundDef& sound) {
  Machine v{};
  v.name = machine.name.c_str();
  v.description = machine.description.c_str();
  v.code = sound.code;
  v.rate = sound.rate;
  // The pipeline writes a first byte and then the sound: a loop plays
  // every byte, so it gets one more, dropped when the sound is placed.
  v.region = sound.length + (sound.idle == Idle::none ? 1 : 0);
  const RomDef* rom = find_rom(machine, sound.rom);
  v.chip = rom && rom->chip && rom->chip < sound.length ? rom->chip : 0;
  v.first_byte = sound.idle_code;
  v.pad = sound.zero;
  return v;
}

const char* idle_name(Idle idle) {
  switch (idle) {
    case Idle::first: return "first";
    case Idle::last: return "last";
    case Idle::none: return "none";
  }
  return "?";
}

std::string machine_toml(const MachineDef& m, const MachineTable& table) {
  std::string t = "# from " + m.source + "\n[[machine]]\nname = " + quoted(m.name) + "\n";
  if (!m.description.empty()) t += "description = " + quoted(m.description) + "\n";
  if (!m.code_text.empty()) t += "code = " + quoted(m.code_text) + "\n";
  if (m.rate > 0) t += "rate = " + number_text(m.rate) + "\n";
  if (!m.idle_text.empty()) t += "idle = " + quoted(m.idle_text) + "\n";
  if (m.zero >= 0) t += strprintf("zero = 0x%02X\n", m.zero);
  if (m.idle_code >= 0) t += strprintf("idle_code = 0x%02X\n", m.idle_code);
  if (!m.sure.empty()) t += "sure = " + sure_text(m.sure) + "\n";
  std::vector<const Pinout*> adapters;
  for (const RomDef& r : m.roms) {
    t += "[[machine.rom]]\nname = " + quoted(r.name) + "\nfile = " + quoted(r.file) +
         strprintf("\nbytes = %u\n", r.bytes);
    if (!r.eprom.empty()) t += "eprom = " + quoted(r.eprom) + "\n";
    if (r.chip) t += strprintf("chip = %u\n", r.chip);
    if (!r.pinouts.empty()) {
      t += "pinouts = [";
      for (size_t i = 0; i < r.pinouts.size(); i++) {
        t += (i ? ", " : "") + quoted(r.pinouts[i]);
        const Pinout* p = find_pinout(table, r.pinouts[i]);
        if (p && std::find(adapters.begin(), adapters.end(), p) == adapters.end()) adapters.push_back(p);
      }
      t += "]\n";
    }
    if (!r.factory.empty()) {
      t += "factory = [\n";
      for (const FactoryDump& d : r.factory)
        t += "  { file = " + quoted(d.file) + ", crc32 = " + quoted(d.crc32) + ", sha1 = " + quoted(d.sha1) +
             (d.sure.empty() ? "" : ", sure = " + quoted(d.sure)) + " },\n";
      t += "]\n";
    }
    if (!r.sure.empty()) t += "sure = " + sure_text(r.sure) + "\n";
  }
  // Each sound whole, its machine's defaults written out: a copied sound
  // means the same in any machine.
  for (const SoundDef& s : m.sounds) {
    t += "[[machine.sound]]\nname = " + quoted(s.name) + "\nrom = " + quoted(s.rom) +
         strprintf("\noffset = 0x%04X\n", s.offset);
    if (s.step != 1) t += strprintf("step = %u\n", s.step);
    t += strprintf("length = %u\nrate = ", s.length) + number_text(s.rate) + "\ncode = " + quoted(code_name(s.code)) +
         "\nidle = " + quoted(idle_name(s.idle)) + strprintf("\nzero = 0x%02X\n", s.zero);
    if (s.idle_code != s.zero) t += strprintf("idle_code = 0x%02X\n", s.idle_code);
    if (s.loop) t += "loop = true\n";
    if (!s.sure.empty()) t += "sure = " + sure_text(s.sure) + "\n";
  }
  for (const Pinout* p : adapters) {
    t += "\n[[pinout]]\nname = " + quoted(p->name) + "\n";
    if (!p->description.empty()) t += "description = " + quoted(p->description) + "\n";
    t += strprintf("bytes = %u\n", p->bytes);
    if (p->copies) t += strprintf("copies = %u\n", p->copies);
    if (!p->address.empty()) {
      t += "address = [";
      for (size_t i = 0; i < p->address.size(); i++) t += strprintf(i ? ", %d" : "%d", p->address[i]);
      t += "]\n";
    }
    if (!p->sure.empty()) t += "sure = " + quoted(p->sure) + "\n";
  }
  return t;
}
