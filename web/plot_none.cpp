// The page draws its pictures itself on a canvas, so cairo is not in the
// module: info's and listen's --plot answer that they cannot draw here.
#include "cli/module.h"

#include <stdio.h>

const Plotter* plotter(char* error, size_t size) {
  snprintf(error, size, "pictures are drawn by the page, not by the engine");
  return nullptr;
}
