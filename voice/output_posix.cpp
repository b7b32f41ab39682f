// Writing files for write_outputs with POSIX calls.
#include "voice/output.h"
#include "voice/output_system.h"

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

static bool write_in_place_as_is(const std::string& path, const void* data, size_t size, std::string* error) {
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

// A programmer's pipe closed early is a failed write to report, not a
// signal that ends the process without a word.
bool write_in_place(const std::string& path, const void* data, size_t size, std::string* error) {
  void (*old)(int) = signal(SIGPIPE, SIG_IGN);
  bool ok = write_in_place_as_is(path, data, size, error);
  signal(SIGPIPE, old);
  return ok;
}

bool replaced_by_rename(const std::string& path) {
  if (path == "-") return false;
  struct stat st;
  return stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
}

bool write_temporary(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                     std::string* error) {
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

bool put_in_place(const std::string& temp, const std::string& path, std::string* error) {
  if (rename(temp.c_str(), path.c_str()) == 0) return true;
  *error = reason("cannot put in place", path);
  return false;
}

void remove_temporary(const std::string& temp) { unlink(temp.c_str()); }

bool same_file(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return false;
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}
