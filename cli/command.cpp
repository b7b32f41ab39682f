#include "cli/command.h"

#include <stdio.h>

int command_usage_error(const Command& command, const char* reason, const char* detail) {
  if (detail)
    fprintf(stderr, "quorix %s: %s: %s\n", command.name, reason, detail);
  else
    fprintf(stderr, "quorix %s: %s\n", command.name, reason);
  return EXIT_USAGE;
}
