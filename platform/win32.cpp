// The Windows side of the platform layer. The window-system calls the core
// makes are the real ones from <windows.h>; only the few helpers below are
// ours.
#include "platform/platform.h"

#include <direct.h>
#include <stdlib.h>

#include <string>

#include "platform/files.h"
#include "platform/wide.h"

void* PlatformAlloc(size_t size) { return malloc(size); }
void* PlatformRealloc(void* block, size_t size) { return realloc(block, size); }
void PlatformFree(void* block) { free(block); }

// The desktop program's names are in the ANSI code page (the file dialogs'
// "A" forms); the converter's identity test takes UTF-8.
static std::string utf8_of_ansi(const char* ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi, -1, NULL, 0);
  std::wstring wide(n > 0 ? (size_t)n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, ansi, -1, &wide[0], n);
  return narrow(wide.c_str());
}

int SameFile(const char* a, const char* b) { return same_file(utf8_of_ansi(a), utf8_of_ansi(b)); }

int ReplaceFileWith(const char* temp, const char* target) {
  return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

int PlatformSeek(FILE* stream, int64_t offset, int whence) {
  return _fseeki64(stream, offset, whence);
}

int64_t PlatformTell(FILE* stream) { return _ftelli64(stream); }

int PlatformGetCwd(char* buf, int size) { return _getcwd(buf, size) != NULL; }
