// The Windows side of the platform layer. The window-system calls the core
// makes are the real ones from <windows.h>; only the few helpers below are
// ours.
#include "platform/platform.h"

#include <direct.h>
#include <stdlib.h>

void* PlatformAlloc(size_t size) { return malloc(size); }
void* PlatformRealloc(void* block, size_t size) { return realloc(block, size); }
void PlatformFree(void* block) { free(block); }

// Two names are the same file when they open to the same volume and file
// index; that also catches a different spelling of the path or a hard link.
int SameFile(const char* a, const char* b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  HANDLE ha = CreateFileA(a, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (ha == INVALID_HANDLE_VALUE) return 0;
  HANDLE hb = CreateFileA(b, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
  if (hb == INVALID_HANDLE_VALUE) {
    CloseHandle(ha);
    return 0;
  }
  int same = GetFileInformationByHandle(ha, &ia) && GetFileInformationByHandle(hb, &ib) &&
             ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
             ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  CloseHandle(ha);
  CloseHandle(hb);
  return same;
}

int ReplaceFileWith(const char* temp, const char* target) {
  return MoveFileExA(temp, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

int PlatformSeek(FILE* stream, int64_t offset, int whence) {
  return _fseeki64(stream, offset, whence);
}

int64_t PlatformTell(FILE* stream) { return _ftelli64(stream); }

int PlatformGetCwd(char* buf, int size) { return _getcwd(buf, size) != NULL; }
