// WAV to image one frame and one code per call, reporting what ConvertWAVToDMX
// reports, for the block engine to be held to byte for byte and line for line.
#pragma once

#include <stdint.h>

uint32_t ReferenceWAVToDMX(void);
