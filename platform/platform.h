// The window-system operations the portable core needs.
//
// On Windows these are the real USER32/GDI32/WINMM calls from <windows.h>.
// Everywhere else platform/headless.h declares look-alike types and a small
// stand-in implementation (platform/headless.cpp) that behaves the way the
// core relies on the real platform behaving, and lets tests look at what was
// asked of it. Which one is used is decided by the build, at link time; the
// core itself never looks at the operating system.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <mmsystem.h>
#else
#include "platform/headless.h"
#endif

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Heap blocks of the core. Going through these lets the headless build make an
// allocation fail on purpose, so the "out of memory" paths can be tested.
void* PlatformAlloc(size_t size);
void* PlatformRealloc(void* block, size_t size);
void PlatformFree(void* block);

// Nonzero when the two names refer to the same existing file (also through a
// link or a different spelling of the path). Used to keep a conversion from
// truncating its own input when it is asked to write over it.
int SameFile(const char* a, const char* b);

// Replaces the file `target` by the file `temp` in one step, so that a reader
// sees either the old or the new file, never a half-written one. Returns 0 on
// success; on failure `target` is left as it was.
int ReplaceFileWith(const char* temp, const char* target);

// 64-bit file positions, so that the length of any input can be measured
// and checked against what a WAV header can hold.
int PlatformSeek(FILE* stream, int64_t offset, int whence);
int64_t PlatformTell(FILE* stream);

// The current working directory into `buf` of `size` bytes; returns 0 when
// it does not fit or cannot be found.
int PlatformGetCwd(char* buf, int size);
