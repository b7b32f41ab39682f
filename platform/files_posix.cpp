// The file system through POSIX calls.
#include <errno.h>
#include <fcntl.h>
#include <libgen.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

static std::string reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + strerror(errno);
}

static FileType type_of(mode_t mode) {
  if (S_ISREG(mode)) return FileType::regular;
  if (S_ISDIR(mode)) return FileType::folder;
  if (S_ISFIFO(mode) || S_ISSOCK(mode)) return FileType::stream;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileType::device;
  return FileType::other;
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

FileType file_type(const std::string& path) {
  struct stat st;
  if (path == "-") return FileType::stream;
  return stat(path.c_str(), &st) == 0 ? type_of(st.st_mode) : FileType::missing;
}

void split_path(const std::string& path, std::string* folder, std::string* name) {
  size_t slash = path.find_last_of('/');
  *folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

bool absolute_path(const std::string& path) { return !path.empty() && path[0] == '/'; }

bool same_name(const std::string& a, const std::string& b) { return a == b; }

int open_for_reading(const std::string& path, FileType* type, std::string* error) {
  int fd = path == "-" ? 0 : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    *error = reason("cannot open", path);
    if (fd > 0) close(fd);
    *type = FileType::missing;
    return -1;
  }
  *type = type_of(st.st_mode);
  if (*type == FileType::folder) {
    *error = path + " is a folder";
    close(fd);
    return -1;
  }
  return fd;
}

long read_some(int fd, void* buffer, size_t size) {
  for (;;) {
    ssize_t n = read(fd, buffer, size);
    if (n < 0 && errno == EINTR) continue;
    return (long)n;
  }
}

void close_file(int fd) {
  if (fd > 0) close(fd);
}

static const char* not_regular(FileType type) {
  switch (type) {
    case FileType::folder: return "a folder, not a file";
    case FileType::stream: return "a FIFO (named pipe), not a file: only regular files are read";
    case FileType::device: return "a device, not a file: only regular files are read";
    default: return "not a regular file";
  }
}

bool read_head(const std::string& path, size_t limit, FileHead* out, std::string* error) {
  // Non-blocking, so that a name which turns out to be a FIFO cannot hold
  // the open until a writer comes; it is refused by the check below.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = std::string("cannot open: ") + strerror(errno);
    return false;
  }
  struct stat st;
  bool ok = fstat(fd, &st) == 0;
  if (!ok) *error = std::string("cannot read: ") + strerror(errno);
  if (ok && !S_ISREG(st.st_mode)) {
    *error = not_regular(type_of(st.st_mode));
    ok = false;
  }
  size_t have = 0;
  if (ok) {
    out->size = (uint64_t)st.st_size;
    size_t want = out->size < limit ? (size_t)out->size : limit;
    out->head.resize(want);
    while (have < want) {
      ssize_t n = read(fd, out->head.data() + have, want - have);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n < 0) {
        *error = std::string("cannot read: ") + strerror(errno);
        ok = false;
      }
      if (n <= 0) break;  // 0: shrank since fstat; what is there is the file
      have += (size_t)n;
    }
    out->head.resize(have);
    if (have < want) out->size = have;
  }
  close(fd);
  return ok;
}

static bool write_all(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= (size_t)n;
  }
  return true;
}

bool replaced_by_rename(const std::string& path) {
  FileType t = file_type(path);
  return t == FileType::missing || t == FileType::regular;
}

// A new file beside `path`, open for writing, with the permissions any new
// file gets (mkstemp makes it private).
static int new_temporary(const std::string& path, std::string* temp, std::string* error) {
  *temp = path + ".tmp-XXXXXX";
  int fd = mkstemp(&(*temp)[0]);
  if (fd < 0) {
    *error = reason("cannot create a temporary file beside", path);
    temp->clear();
    return -1;
  }
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd, 0666 & ~mask) != 0) {
    *error = reason("cannot write", path);
    close(fd);
    unlink(temp->c_str());
    temp->clear();
    return -1;
  }
  return fd;
}

bool make_temporary(const std::string& path, std::string* temp, std::string* error) {
  int fd = new_temporary(path, temp, error);
  return fd >= 0 && close(fd) == 0;
}

bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                     std::string* error) {
  int fd = new_temporary(path, temp, error);
  if (fd < 0) return false;
  bool ok = write_all(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (!ok) {
    *error = reason("cannot write", path);
    unlink(temp->c_str());
    temp->clear();
  }
  return ok;
}

bool sync_file(const std::string& path, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  bool ok = fd >= 0 && fsync(fd) == 0;
  if (!ok) *error = reason("cannot write", path);
  if (fd >= 0) close(fd);
  return ok;
}

static bool write_in_place_as_is(const std::string& path, const void* data, size_t size, std::string* error) {
  if (path == "-") {
    if (write_all(1, data, size)) return true;
    *error = std::string("cannot write standard output: ") + strerror(errno);
    return false;
  }
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) {
    *error = reason("cannot open", path);
    return false;
  }
  bool ok = write_all(fd, data, size);
  if (!ok) *error = reason("cannot write", path);
  if (close(fd) != 0 && ok) {
    *error = reason("cannot write", path);
    ok = false;
  }
  return ok;
}

// A programmer's pipe closed early is a failed write to report, not a
// signal that ends the process without a word.
bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error) {
  void (*old)(int) = signal(SIGPIPE, SIG_IGN);
  bool ok = write_in_place_as_is(path, data, size, error);
  signal(SIGPIPE, old);
  return ok;
}

// A second hard link keeps the old file while the new one is renamed over
// its name; where the file system has no hard links, the old file is
// renamed aside instead (and its name is empty until the new file comes).
bool keep_aside(const std::string& path, std::string* aside, std::string* error) {
  aside->clear();
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 && errno == ENOENT) return true;  // nothing to keep
  for (int attempt = 0; attempt < 100; attempt++) {
    *aside = path + ".old-" + std::to_string((unsigned)getpid()) + "-" + std::to_string(attempt);
    if (link(path.c_str(), aside->c_str()) == 0) return true;
    if (errno == EEXIST) continue;
    if (rename(path.c_str(), aside->c_str()) == 0) return true;
    break;
  }
  *error = reason("cannot keep the old file aside:", path);
  aside->clear();
  return false;
}

bool put_in_place(const std::string& from, const std::string& to, std::string* error) {
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  *error = reason("cannot put in place", to);
  return false;
}

void remove_file(const std::string& path) { unlink(path.c_str()); }

std::string user_config_file(const std::string& name) {
  // The XDG base directory rule: a relative XDG_CONFIG_HOME is ignored.
  const char* xdg = getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/quorix/" + name;
  const char* home = getenv("HOME");
  if (home && home[0]) return std::string(home) + "/.config/quorix/" + name;
  return "";
}
