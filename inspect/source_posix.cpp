#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "inspect/source.h"

static const char* not_regular(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder, not a file";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe), not a file: only regular files are read";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a file: only regular files are read";
  if (S_ISSOCK(mode)) return "a socket, not a file";
  return "not a regular file";
}

bool read_source(const std::string& path, size_t limit, SourceFile* out, std::string* error) {
  // Non-blocking, so that a name which turns out to be a FIFO cannot hold
  // the open until a writer comes; it is refused by the check below.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *error = std::string("cannot open: ") + strerror(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *error = std::string("cannot read: ") + strerror(errno);
    close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = not_regular(st.st_mode);
    close(fd);
    return false;
  }
  out->size = (uint64_t)st.st_size;
  size_t want = out->size < limit ? (size_t)out->size : limit;
  out->head.resize(want);
  size_t have = 0;
  while (have < want) {
    ssize_t n = read(fd, out->head.data() + have, want - have);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0) {
      *error = std::string("cannot read: ") + strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;  // shrank since fstat: what is there is the file
    have += (size_t)n;
  }
  close(fd);
  out->head.resize(have);
  if (have < want) out->size = have;
  return true;
}
