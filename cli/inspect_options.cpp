#include "cli/inspect_options.h"

#include "voice/prepare.h"

static const Range plot_width = {plot_min_width, plot_max_width, true, "pixels"};
static const Range plot_height = {plot_min_height, plot_max_height, true, "pixels"};

bool inspect_args(const ParsedArgs& args, InspectArgs* out, std::string* why) {
  if (!machine_table_of(args, &out->table, why, &out->table_unreadable)) return false;
  // Without --machine the machine stays unsaid: a factory chip is then
  // read for its own card.
  const std::string* given = args.last("machine");
  const MachineDef* m = &out->table.machines.front();
  if (given) {
    m = find_machine_def(out->table, *given);
    if (!m) return *why = "unknown machine (see quorix machines): " + *given, false;
  }
  const Machine* voice = nullptr;
  for (const Machine& v : out->table.voices())
    if (m->name == v.name) voice = &v;
  out->machine = given ? voice : nullptr;
  if (const std::string* v = args.last("sound")) {
    out->sound = find_sound(*m, *v);
    if (!out->sound) return *why = "machine " + m->name + " has no sound " + *v + " (" + sound_names(*m) + ")", false;
  }
  if (const std::string* v = args.last("eprom-pinout")) {
    out->pinout = find_pinout(out->table, *v);
    if (!out->pinout) return *why = "unknown EPROM pinout: " + *v, false;
  }
  if (!voice || out->sound || out->pinout) {
    out->rom_machine = m;
    out->machine = default_machine();
    if (args.has("code")) return *why = "--code is for one-voice images; each sound of " + m->name + " has its own", false;
  }
  if (!number_option(args, "rate", rate_range, &out->rate, why)) return false;
  if (const std::string* v = args.last("code")) {
    if (!parse_code(v->c_str(), &out->code)) return *why = "--code takes u255, linear, linear-inverted, signed or linear-top6: " + *v, false;
    out->code_given = true;
  }
  if (const std::string* v = args.last("plot")) {
    if (v->empty() || *v == "-") return *why = "--plot needs a file name", false;
    out->plot = *v;
  }
  if (const std::string* v = args.last("plot-size")) {
    size_t x = v->find('x');
    double w, h;
    if (x == std::string::npos || !parse_number(v->substr(0, x), plot_width, &w) ||
        !parse_number(v->substr(x + 1), plot_height, &h))
      return *why = "--plot-size needs WIDTHxHEIGHT, " + range_text(plot_width) + " by " + range_text(plot_height) +
                    ": " + *v,
             false;
    out->plot_size = {(int)w, (int)h};
  }
  return true;
}
