// Writing files for write_outputs through Windows' wide calls. Windows'
// rename refuses a target that exists; MoveFileExW replaces it in one step,
// and with MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
#include <io.h>
#include <windows.h>

#include "voice/output.h"
#include "voice/output_system.h"
#include "voice/winfile.h"

static bool write_all(HANDLE h, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : (DWORD)size, done = 0;
    if (!WriteFile(h, p, chunk, &done, nullptr) || done == 0) return false;
    p += done;
    size -= done;
  }
  return true;
}

static std::string reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + windows_error_text(GetLastError());
}

// Opens an existing name without reading or writing it, to ask what it is.
static HANDLE look_at(const std::string& path) {
  return CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Standard output ("-"), a device such as NUL or COM1, or a named pipe:
// written as it is.
bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error) {
  if (path == "-") {
    // Standard output was put in binary mode at the start: a WAV file's
    // bytes 0x0A must not become 0x0D 0x0A.
    HANDLE out = (HANDLE)_get_osfhandle(1);
    if (out != INVALID_HANDLE_VALUE && write_all(out, data, size)) return true;
    *error = "cannot write standard output: " + windows_error_text(GetLastError());
    return false;
  }
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = reason("cannot open", path);
    return false;
  }
  bool ok = write_all(h, data, size);
  if (!ok) *error = reason("cannot write", path);
  CloseHandle(h);
  return ok;
}

// A file on a disk, or a name that does not exist yet, is replaced by
// moving a finished file over it; a device or a pipe never is.
bool replaced_by_rename(const std::string& path) {
  if (path == "-") return false;
  HANDLE h = look_at(path);
  if (h == INVALID_HANDLE_VALUE) return true;  // a new name; what stands in the way is reported then
  DWORD type = GetFileType(h);
  CloseHandle(h);
  return type == FILE_TYPE_DISK;
}

// The bytes in a new file beside `path` (a name that did not exist, made
// by this process), flushed to the disk; its name in `temp`.
bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                     std::string* error) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  unsigned long long seed = (unsigned long long)now.QuadPart ^ ((unsigned long long)GetCurrentProcessId() << 32);
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; attempt++) {
    *temp = path + ".tmp-";
    for (int i = 0; i < 6; i++) {
      seed = seed * 6364136223846793005ull + 1442695040888963407ull;
      *temp += letters[(seed >> 33) % 36];
    }
    h = CreateFileW(widen(*temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (h == INVALID_HANDLE_VALUE) {
    *error = reason("cannot create a temporary file beside", path);
    temp->clear();
    return false;
  }
  bool ok = write_all(h, bytes.data(), bytes.size()) && FlushFileBuffers(h);
  if (!ok) *error = reason("cannot write", path);
  if (!CloseHandle(h) && ok) {
    *error = reason("cannot write", path);
    ok = false;
  }
  if (!ok) {
    DeleteFileW(widen(*temp).c_str());
    temp->clear();
  }
  return ok;
}

bool put_in_place(const std::string& temp, const std::string& path, std::string* error) {
  if (MoveFileExW(widen(temp).c_str(), widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = reason("cannot put in place", path);
  return false;
}

void remove_temporary(const std::string& temp) { DeleteFileW(widen(temp).c_str()); }

// Windows has no inode numbers: two names are one file when they open to
// the same volume and file index, which also sees through another
// spelling of the path (case, short names, "..") and hard links.
bool same_file(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  HANDLE ha = look_at(a);
  if (ha == INVALID_HANDLE_VALUE) return false;
  HANDLE hb = look_at(b);
  BY_HANDLE_FILE_INFORMATION ia, ib;
  bool same = hb != INVALID_HANDLE_VALUE && GetFileInformationByHandle(ha, &ia) &&
              GetFileInformationByHandle(hb, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
              ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  return same;
}
