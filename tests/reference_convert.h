// WAV to image the plain way, for the tests only: the chunk walk of the
// engine with a data step that reads one frame per call and writes one code
// per call, with a log() per sample. It reports what ConvertWAVToDMX
// reports, so the block engine can be held to it byte for byte and line for
// line on files that open.
#pragma once

#include <stdint.h>

uint32_t ReferenceWAVToDMX(void);
