#include "voice/output.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

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

static std::string reason(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + strerror(errno);
}

// Writes `size` bytes to `path` as it is: a device, a FIFO or "-" (standard output).
static bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error);

// A programmer's pipe closed early is a failed write to report, not a
// signal that ends the process without a word.
static bool write_in_place_no_sigpipe(const std::string& path, const void* data, size_t size,
                                      std::string* error) {
  void (*old)(int) = signal(SIGPIPE, SIG_IGN);
  bool ok = write_in_place(path, data, size, error);
  signal(SIGPIPE, old);
  return ok;
}

static bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error) {
  if (path == "-") {
    if (write_all(1, data, size)) return true;
    *error = std::string("cannot write standard output: ") + strerror(errno);
    return false;
  }
  int fd = open(path.c_str(), O_WRONLY | O_TRUNC);
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

// A regular file, or a name that does not exist yet, is replaced by
// renaming; anything else (a device, a FIFO, standard output) is written in
// place: renaming over it would put a plain file where /dev/null or the
// programmer's pipe was.
static bool replaced_by_rename(const std::string& path) {
  if (path == "-") return false;
  struct stat st;
  return stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

// The bytes in a new temporary file beside `path`, synced to the disk;
// its name in `temp`.
static bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes,
                            std::string* temp, std::string* error) {
  *temp = path + ".tmp-XXXXXX";
  int fd = mkstemp(&(*temp)[0]);
  if (fd < 0) {
    *error = reason("cannot create a temporary file beside", path);
    temp->clear();
    return false;
  }
  // mkstemp makes the file private; the image gets the permissions any new
  // file would get.
  mode_t mask = umask(0);
  umask(mask);
  bool ok = write_all(fd, bytes.data(), bytes.size()) && fchmod(fd, 0666 & ~mask) == 0 && fsync(fd) == 0;
  if (close(fd) != 0) ok = false;
  if (!ok) {
    *error = reason("cannot write", path);
    unlink(temp->c_str());
    temp->clear();
  }
  return ok;
}

bool write_outputs(const std::vector<OutputFile>& files, std::string* error) {
  std::vector<std::string> temps(files.size());
  auto discard = [&temps] {
    for (const std::string& t : temps)
      if (!t.empty()) unlink(t.c_str());
  };
  for (size_t i = 0; i < files.size(); i++) {
    if (!replaced_by_rename(files[i].path)) continue;
    if (!write_temporary(files[i].path, files[i].bytes, &temps[i], error)) {
      discard();
      return false;
    }
  }
  for (size_t i = 0; i < files.size(); i++) {
    if (!temps[i].empty()) continue;
    if (!write_in_place_no_sigpipe(files[i].path, files[i].bytes.data(), files[i].bytes.size(), error)) {
      discard();
      return false;
    }
  }
  for (size_t i = 0; i < files.size(); i++) {
    if (temps[i].empty()) continue;
    if (rename(temps[i].c_str(), files[i].path.c_str()) != 0) {
      *error = reason("cannot put in place", files[i].path);
      discard();
      return false;
    }
    temps[i].clear();
  }
  return true;
}

bool write_output(const std::string& path, const void* data, size_t size, std::string* error) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return write_outputs({{path, std::vector<uint8_t>(p, p + size)}}, error);
}

bool same_file(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}
