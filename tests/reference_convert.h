// The two conversions written the plain way, for the tests only: one read
// per frame or code, one write per byte, a log() or exp() per sample and
// chunk bodies skipped a byte at a time. They read and write the same
// globals as ConvertWAVToDMX and ConvertDMXtoWAV and report the same lines,
// so the engine can be held to them byte for byte and line for line.
#pragma once

#include <stdint.h>

uint32_t ReferenceWAVToDMX(void);
uint32_t ReferenceDMXtoWAV(void);
