// One grammar for the options of every command:
//   --name VALUE and --name=VALUE; a flag takes no value;
//   options before, between or after the names of files;
//   -- ends the options: every word after it is a name;
//   a lone - is a name (standard input or output, where the command allows);
//   any other word that starts with - is an unknown option.
// A command describes its options in a table; what a value means, and its
// limits, is the command's to check through the helpers below, so that the
// check and its message come from the same Range.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

#include "text/number.h"

struct OptionSpec {
  const char* name;   // without the dashes: "rate"
  const char* value;  // what the value is, for the help ("HZ"); null for a flag
  const char* help;   // what it does and its default, for the help; may hold "\n"
  // A number's limits: "%R" in the help stands for them ("1000 to 200000 Hz").
  const Range* range = nullptr;
};

struct ParsedArgs {
  struct Given {
    const OptionSpec* option;
    std::string value;
  };
  std::vector<Given> options;      // in the order given
  std::vector<std::string> names;  // everything that is no option
  bool help = false;               // --help or -h was given

  // The value given last for `name` (an option given twice: the last
  // counts), or null when it was not given.
  const std::string* last(const char* name) const;
  bool has(const char* name) const { return last(name) != nullptr; }
};

// Reads `args` against `table` (ending in an entry with a null name).
// False with a one-line reason: an unknown option, a missing value, a value
// given to a flag.
bool parse_args(const OptionSpec* table, const std::vector<std::string>& args, ParsedArgs* out,
                std::string* why);

// The value of option `name` as a number inside `range`, into `value` when
// given. False with the reason ("--rate must be a number from 1000 to
// 200000 Hz: 27.2") when it is not one.
bool number_option(const ParsedArgs& args, const char* name, const Range& range, double* value,
                   std::string* why);

// An option's help with "%R" replaced by its limits.
std::string option_help(const OptionSpec& option);
// The options' lines of a command's help, one or more per option.
std::string options_help(const OptionSpec* table);
