// The file system through Windows' wide calls. Windows' rename refuses a
// target that exists; MoveFileExW replaces it in one step, and with
// MOVEFILE_WRITE_THROUGH returns only once the move is on the disk.
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>

#include "platform/files.h"
#include "platform/wide.h"

static std::string reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + windows_error_text(GetLastError());
}

// Opens an existing name without reading or writing it, to ask what it is.
// FILE_FLAG_BACKUP_SEMANTICS opens a folder too.
static HANDLE look_at(const std::string& path) {
  return CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

static FileType type_of(HANDLE h) {
  DWORD type = GetFileType(h);
  if (type == FILE_TYPE_CHAR) return FileType::device;
  if (type == FILE_TYPE_PIPE) return FileType::stream;
  BY_HANDLE_FILE_INFORMATION info;
  if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info)) return FileType::other;
  return info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileType::folder : FileType::regular;
}

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

FileType file_type(const std::string& path) {
  if (path == "-") return FileType::stream;
  HANDLE h = look_at(path);
  if (h == INVALID_HANDLE_VALUE) return FileType::missing;
  FileType t = type_of(h);
  CloseHandle(h);
  return t;
}

void split_path(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.find_last_of("/\\:");
  *folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool absolute_path(const std::string& path) {
  return (path.size() > 1 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

bool same_name(const std::string& a, const std::string& b) {
  std::wstring wa = widen(a), wb = widen(b);
  return CompareStringOrdinal(wa.c_str(), (int)wa.size(), wb.c_str(), (int)wb.size(), TRUE) == CSTR_EQUAL;
}

int open_for_reading(const std::string& path, FileType* type, std::string* error) {
  if (path == "-") {
    *type = FileType::stream;
    return 0;  // in binary mode since the start
  }
  // Windows refuses to open a folder as a file: it is told apart first.
  *type = file_type(path);
  if (*type == FileType::folder) {
    *error = path + " is a folder";
    return -1;
  }
  int fd = _wopen(widen(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) {
    *error = reason("cannot open", path);
    *type = FileType::missing;
  }
  return fd;
}

long read_some(int fd, void* buffer, size_t size) {
  return _read(fd, buffer, (unsigned)std::min<size_t>(size, 1u << 30));
}

void close_file(int fd) {
  if (fd > 0) _close(fd);
}

bool read_head(const std::string& path, size_t limit, FileHead* out, std::string* error) {
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
  switch (type_of(h)) {
    case FileType::regular: break;
    case FileType::device: return refuse("a device, not a file: only regular files are read");
    case FileType::stream: return refuse("a named pipe, not a file: only regular files are read");
    case FileType::folder: return refuse("a folder, not a file");
    default: return refuse("not a regular file");
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h, &size)) return refuse("cannot read: " + windows_error_text(GetLastError()));
  out->size = (uint64_t)size.QuadPart;
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

bool replaced_by_rename(const std::string& path) {
  FileType t = file_type(path);
  return t == FileType::missing || t == FileType::regular;
}

// A new file beside `path` (a name that did not exist, made by this
// process), open for writing.
static HANDLE new_temporary(const std::string& path, const char* kind, std::string* temp, std::string* error) {
  static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  unsigned long long seed = (unsigned long long)now.QuadPart ^ ((unsigned long long)GetCurrentProcessId() << 32);
  HANDLE h = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; attempt++) {
    *temp = path + kind;
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
  }
  return h;
}

bool make_temporary(const std::string& path, std::string* temp, std::string* error) {
  HANDLE h = new_temporary(path, ".tmp-", temp, error);
  return h != INVALID_HANDLE_VALUE && CloseHandle(h);
}

bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                     std::string* error) {
  HANDLE h = new_temporary(path, ".tmp-", temp, error);
  if (h == INVALID_HANDLE_VALUE) return false;
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

bool sync_file(const std::string& path, std::string* error) {
  HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  bool ok = h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
  if (!ok) *error = reason("cannot write", path);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return ok;
}

// A hard link keeps the old file while the new one is moved over its name;
// where the volume has none (FAT), the old file is moved aside instead.
bool keep_aside(const std::string& path, std::string* aside, std::string* error) {
  aside->clear();
  if (GetFileAttributesW(widen(path).c_str()) == INVALID_FILE_ATTRIBUTES &&
      (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
    return true;  // nothing to keep
  HANDLE h = new_temporary(path, ".old-", aside, error);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  DeleteFileW(widen(*aside).c_str());
  if (CreateHardLinkW(widen(*aside).c_str(), widen(path).c_str(), nullptr) ||
      MoveFileExW(widen(path).c_str(), widen(*aside).c_str(), MOVEFILE_WRITE_THROUGH))
    return true;
  *error = reason("cannot keep the old file aside:", path);
  aside->clear();
  return false;
}

bool put_in_place(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExW(widen(from).c_str(), widen(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return true;
  *error = reason("cannot put in place", to);
  return false;
}

void remove_file(const std::string& path) { DeleteFileW(widen(path).c_str()); }

std::string user_config_file(const std::string& name) {
  const wchar_t* appdata = _wgetenv(L"APPDATA");
  if (!appdata || !appdata[0]) return "";
  return narrow(appdata) + "\\quorix\\" + name;
}
