// The plot module's entry points, for the converter to find by name.
#include "cli/module.h"

extern "C" {
extern const Plotter quorix_plotter;
const Plotter quorix_plotter = {plot_image, plot_sound, plot_rom};
}
