#include "cli/command.h"

#include <errno.h>
#include <string.h>

int exit_status(Outcome outcome) {
  switch (outcome) {
    case Outcome::finished: return 0;
    case Outcome::cannot_read:
    case Outcome::cannot_write:
    case Outcome::failed: return 1;
    case Outcome::unusable: return 2;
    case Outcome::usage: return 64;
  }
  return 1;
}

static int rank(Outcome o) {
  switch (o) {
    case Outcome::finished: return 0;
    case Outcome::unusable: return 1;
    case Outcome::cannot_read: return 2;
    case Outcome::failed: return 3;
    case Outcome::cannot_write: return 4;
    case Outcome::usage: return 5;
  }
  return 5;
}

Outcome worse(Outcome a, Outcome b) { return rank(a) >= rank(b) ? a : b; }

std::string usage_line(const Command& c) {
  std::string line = std::string("quorix ") + c.name + (c.options[0].name ? " [options]" : "");
  return line + (*c.operands ? " " : "") + c.operands + "\n";
}

std::string command_help(const Command& c) {
  std::string text = "usage: " + usage_line(c) + "\n" + c.summary;
  if (c.options[0].name) text += "\nOptions (one given twice: the last counts):\n" + options_help(c.options);
  text +=
      "\nExit status: 0 finished; 1 an input could not be opened or read, an output or\n"
      "the report could not be written (nothing is then changed), or a library\n"
      "failed; 2 an input is not usable; 64 usage error (a one-line reason on\n"
      "standard error). Over several files, the worst: 1 before 2.\n";
  return text;
}

Outcome say(const Command& c, Outcome outcome, const std::string& reason) {
  fflush(stdout);
  fprintf(stderr, "quorix %s: %s\n", c.name, reason.c_str());
  return outcome;
}

Outcome report_written(const Command& c, Outcome outcome) {
  if (fflush(stdout) == 0 && !ferror(stdout)) return outcome;
  fprintf(stderr, "quorix %s: cannot write the report to standard output: %s\n", c.name, strerror(errno));
  return worse(outcome, Outcome::cannot_write);
}
