// Loading the modules from the folder lib/quorix beside the program's own
// bin folder: bin/quorix finds lib/quorix/tools.so, installed or in the
// build tree alike.
#include <dlfcn.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <mach-o/dyld.h>
#endif

#include "cli/module.h"

// The folder of the running program, in `out`; false when it cannot be found.
static bool program_folder(char* out, size_t size) {
  char path[PATH_MAX];
#if defined(__APPLE__)
  uint32_t length = sizeof path;
  if (_NSGetExecutablePath(path, &length) != 0) return false;
#else
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return false;
  path[n] = 0;
#endif
  char real[PATH_MAX];
  const char* p = realpath(path, real) ? real : path;
  const char* slash = strrchr(p, '/');
  if (!slash || (size_t)(slash - p) >= size) return false;
  memcpy(out, p, (size_t)(slash - p));
  out[slash - p] = 0;
  return true;
}

static const void* module_symbol(const char* module, const char* symbol, char* error, size_t size) {
  char folder[PATH_MAX], path[PATH_MAX + 64];
  if (!program_folder(folder, sizeof folder)) {
    snprintf(error, size, "cannot find the folder of the program");
    return nullptr;
  }
  snprintf(path, sizeof path, "%s/../lib/quorix/%s.so", folder, module);
  // RTLD_NODELETE: the module's code stays while the process runs.
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!handle) {
    const char* why = dlerror();
    snprintf(error, size, "%s", why ? why : path);
    return nullptr;
  }
  const void* found = dlsym(handle, symbol);
  if (!found) snprintf(error, size, "%s has no %s", path, symbol);
  return found;
}

const Command* const* tool_commands(char* error, size_t size) {
  return static_cast<const Command* const*>(module_symbol("tools", "quorix_tool_commands", error, size));
}

const Plotter* plotter(char* error, size_t size) {
  return static_cast<const Plotter*>(module_symbol("plot", "quorix_plotter", error, size));
}
