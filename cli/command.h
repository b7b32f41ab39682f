// The converter's commands beyond the two conversions. Each lives in a file
// of its own, parses its own options and composes the steps of its folder;
// none reads quorix.ini or touches the engine's process-wide values.
#pragma once

struct Command {
  const char* name;   // the word after `quorix`
  const char* usage;  // "quorix NAME ...", one or more lines, each ending in a newline
  const char* help;   // what it does and its options, for `quorix NAME --help`
  // argv[0] is the command's name. Returns the exit status.
  int (*run)(int argc, char** argv);
};

extern const Command machines_command;
extern const Command prepare_command;
extern const Command listen_command;
extern const Command info_command;

// The converter itself: `quorix COMMAND ...` with the arguments in UTF-8.
// main() calls it on POSIX systems, wmain() in cli/main_win.cpp on Windows.
int quorix_main(int argc, char** argv);

// Exit statuses shared by every command.
enum { EXIT_FINISHED = 0, EXIT_FAILED = 1, EXIT_BAD_INPUT = 2, EXIT_USAGE = 64 };

// Prints "quorix NAME: REASON" on stderr and returns EXIT_USAGE.
int command_usage_error(const Command& command, const char* reason, const char* detail = nullptr);
