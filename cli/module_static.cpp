// Where the converter is one program (Windows): the tables the modules
// would give are linked in, and nothing can fail to load.
#include "cli/module.h"

extern "C" {
extern const Command* const quorix_tool_commands[];
extern const Plotter quorix_plotter;
}

const Command* const* tool_commands(char*, size_t) { return quorix_tool_commands; }

const Plotter* plotter(char*, size_t) { return &quorix_plotter; }
