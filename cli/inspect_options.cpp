#include "cli/inspect_options.h"

#include "voice/prepare.h"

static const Range plot_width = {plot_min_width, plot_max_width, true, "pixels"};
static const Range plot_height = {plot_min_height, plot_max_height, true, "pixels"};

bool inspect_args(const ParsedArgs& args, InspectArgs* out, std::string* why) {
  if (const std::string* v = args.last("machine")) {
    out->machine = find_machine(v->c_str());
    if (!out->machine) return *why = "unknown machine (see quorix machines): " + *v, false;
  }
  if (!number_option(args, "rate", rate_range, &out->rate, why)) return false;
  if (const std::string* v = args.last("code")) {
    if (!parse_code(v->c_str(), &out->code)) return *why = "--code takes u255, linear or linear-inverted: " + *v, false;
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
