// The Windows twin of source_posix.cpp. Opening a named pipe or a device
// here does not wait for anything (a pipe with no free instance fails at
// once), and what is not a file on a disk is refused before a byte is read.
#include <windows.h>

#include <algorithm>

#include "inspect/source.h"
#include "voice/winfile.h"

bool read_source(const std::string& path, size_t limit, SourceFile* out, std::string* error) {
  // FILE_FLAG_BACKUP_SEMANTICS opens a folder too, so that it can be named
  // as one rather than as a refused open.
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = "cannot open: " + windows_error_text(GetLastError());
    return false;
  }
  auto refuse = [&](const std::string& why) {
    *error = why;
    CloseHandle(h);
    return false;
  };
  DWORD type = GetFileType(h);
  if (type == FILE_TYPE_CHAR) return refuse("a device, not a file: only regular files are read");
  if (type == FILE_TYPE_PIPE) return refuse("a named pipe, not a file: only regular files are read");
  BY_HANDLE_FILE_INFORMATION info;
  if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) return refuse("not a regular file");
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return refuse("a folder, not a file");
  out->size = (uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
  size_t want = out->size < limit ? (size_t)out->size : limit;
  out->head.resize(want);
  size_t have = 0;
  while (have < want) {
    DWORD n = 0;
    if (!ReadFile(h, out->head.data() + have, (DWORD)std::min<size_t>(want - have, 1u << 30), &n, nullptr))
      return refuse("cannot read: " + windows_error_text(GetLastError()));
    if (n == 0) break;  // shrank since it was opened: what is there is the file
    have += n;
  }
  CloseHandle(h);
  out->head.resize(have);
  if (have < want) out->size = have;
  return true;
}
