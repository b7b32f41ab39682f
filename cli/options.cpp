#include "cli/options.h"

#include <string.h>

#include "text/format.h"

const std::string* ParsedArgs::last(const char* name) const {
  for (size_t i = options.size(); i-- > 0;)
    if (strcmp(options[i].option->name, name) == 0) return &options[i].value;
  return nullptr;
}

static const OptionSpec* find_option(const OptionSpec* table, const std::string& name) {
  for (const OptionSpec* s = table; s->name; s++)
    if (name == s->name) return s;
  return nullptr;
}

bool parse_args(const OptionSpec* table, const std::vector<std::string>& args, ParsedArgs* out,
                std::string* why) {
  bool options_done = false;
  for (size_t i = 0; i < args.size(); i++) {
    const std::string& a = args[i];
    if (options_done || a == "-" || a.empty() || a[0] != '-') {
      out->names.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      out->help = true;
      continue;
    }
    size_t eq = a.find('=');
    std::string name = a.compare(0, 2, "--") == 0 ? a.substr(2, eq == std::string::npos ? eq : eq - 2) : "";
    const OptionSpec* option = name.empty() ? nullptr : find_option(table, name);
    if (!option) {
      *why = "unknown option: " + a;
      return false;
    }
    ParsedArgs::Given given{option, std::string()};
    if (!option->value) {
      if (eq != std::string::npos) {
        *why = "--" + name + " takes no value";
        return false;
      }
    } else if (eq != std::string::npos) {
      given.value = a.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      given.value = args[++i];
    } else {
      *why = "--" + name + " needs a value (" + option->value + ")";
      return false;
    }
    out->options.push_back(given);
  }
  return true;
}

bool number_option(const ParsedArgs& args, const char* name, const Range& range, double* value,
                   std::string* why) {
  const std::string* text = args.last(name);
  if (!text || parse_number(*text, range, value)) return true;
  *why = strprintf("--%s must be %s from %s: %s", name, range.whole ? "a whole number" : "a number",
                   range_text(range).c_str(), text->c_str());
  return false;
}

std::string option_help(const OptionSpec& option) {
  std::string help = option.help;
  size_t at = help.find("%R");
  if (at != std::string::npos && option.range) help.replace(at, 2, range_text(*option.range));
  return help;
}

std::string options_help(const OptionSpec* table) {
  std::string text;
  for (const OptionSpec* s = table; s->name; s++) {
    std::string head = std::string("  --") + s->name + (s->value ? std::string(" ") + s->value : "");
    std::string expanded = option_help(*s);
    const char* help = expanded.c_str();
    // The first line of the help beside the option, further lines under it.
    const char* nl = strchr(help, '\n');
    std::string first = nl ? std::string(help, nl) : help;
    if (head.size() < 21)
      text += head + std::string(21 - head.size(), ' ') + first + "\n";
    else
      text += head + "\n" + std::string(21, ' ') + first + "\n";
    while (nl) {
      help = nl + 1;
      nl = strchr(help, '\n');
      text += std::string(21, ' ') + (nl ? std::string(help, nl) : std::string(help)) + "\n";
    }
  }
  return text;
}
