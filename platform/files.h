// Files by name: what the converter's commands ask of the file system, in
// one place. files_posix.cpp answers with POSIX calls, files_win.cpp with
// Windows' wide calls (names are UTF-8 inside the program on every system);
// the build links one of them.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// ---- Identity ----

// True when `a` and `b` name the same existing file, through hard links,
// symbolic links and other spellings ("./x" and "x"; on Windows also case
// and short names). "-" is a stream, never a file.
bool same_file(const std::string& a, const std::string& b);

// What stands at `path` now.
enum class FileType { missing, regular, folder, stream, device, other };
FileType file_type(const std::string& path);

// The folder part of `path` ("." when it has none) and its last name.
void split_path(const std::string& path, std::string* folder, std::string* name);
// True when `path` does not depend on the current folder ("/x"; on
// Windows also "C:\x", "\\server\x" and "\x").
bool absolute_path(const std::string& path);
// True when two names in one folder name the same entry: equal, or on
// Windows equal but for case, as NTFS and FAT compare them.
bool same_name(const std::string& a, const std::string& b);

// ---- Reading ----

// Opens `path` for reading ("-": standard input); the descriptor, or -1
// with a one-line reason. A folder is refused with "is a folder".
int open_for_reading(const std::string& path, FileType* type, std::string* error);
// Reads up to `size` bytes; 0 at the end, -1 on an error.
long read_some(int fd, void* buffer, size_t size);
void close_file(int fd);

// The size and the first `limit` bytes of the regular file `path`. False
// with a one-line reason (no file name in it) for anything else: a name
// that does not open, a folder, a FIFO, a device, a read error. Nothing
// waits on a pipe that has no writer.
struct FileHead {
  uint64_t size = 0;
  std::vector<uint8_t> head;  // the first min(size, limit) bytes
};
bool read_head(const std::string& path, size_t limit, FileHead* out, std::string* error);

// ---- Writing: the system half of the all-or-nothing writer ----

// True for a regular file or a name that does not exist yet: replaced by
// renaming a finished file over it. A device, a FIFO or "-" (standard
// output) is written in place: renaming over it would put a plain file
// where /dev/null or the programmer's pipe was.
bool replaced_by_rename(const std::string& path);
// An empty new temporary file beside `path`, its name in `temp`.
bool make_temporary(const std::string& path, std::string* temp, std::string* error);
// The bytes in a new temporary file beside `path`, flushed to the disk.
bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                     std::string* error);
// Flushes a temporary file that someone else wrote to the disk.
bool sync_file(const std::string& path, std::string* error);
// Writes `size` bytes to a device, a FIFO or "-" as it is.
bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error);
// Keeps the existing file `path` under a new name `aside` beside it, so
// that it can be put back; `path` itself may stay (a hard link) or go.
// True with `aside` empty when nothing stands at `path`.
bool keep_aside(const std::string& path, std::string* aside, std::string* error);
// Renames `from` over `to`, replacing it in one step.
bool put_in_place(const std::string& from, const std::string& to, std::string* error);
void remove_file(const std::string& path);

// ---- The user's own settings ----

// The file `name` in QUORIX's folder of the user's configuration:
// $XDG_CONFIG_HOME/quorix (else ~/.config/quorix), on Windows
// %APPDATA%\quorix. Empty when the system names no such folder. Whether
// the file exists is the caller's to find out.
std::string user_config_file(const std::string& name);
