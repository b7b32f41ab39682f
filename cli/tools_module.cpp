// The tools module's table: what `quorix` finds in it by name.
#include "cli/command.h"

extern "C" {
extern const Command* const quorix_tool_commands[];
const Command* const quorix_tool_commands[] = {&prepare_command, &kit_command, &listen_command, &info_command, nullptr};
}
