#include "fuzz/fuzz_common.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <set>

#include "convert/convert.h"

static char dir[256];
static std::set<std::string> made;

static void remove_files(void) {
  for (const std::string& p : made) unlink(p.c_str());
  rmdir(dir);
}

std::string FuzzPath(const char* name) {
  if (!dir[0]) {
    const char* tmp = getenv("TMPDIR");
    snprintf(dir, sizeof dir, "%s/quorix-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(dir)) {
      perror("mkdtemp");
      abort();
    }
    atexit(remove_files);
  }
  std::string p = std::string(dir) + "/" + name;
  made.insert(p);
  return p;
}

void FuzzConversionFiles(const char* input, const char* output, std::string* input_path,
                         std::string* output_path) {
  *input_path = FuzzPath(input);
  *output_path = FuzzPath(output);
  FUZZ_CHECK(input_path->size() < NAME_SIZE && output_path->size() < NAME_SIZE,
             "temporary folder name too long: %s", dir);
  strcpy(dmxfilename, input_path->c_str());
  strcpy(output_filename, output_path->c_str());
}

bool FuzzTake(const uint8_t** data, size_t* size, void* out, size_t n) {
  if (*size < n) return false;
  memcpy(out, *data, n);
  *data += n;
  *size -= n;
  return true;
}

void WriteWhole(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f || fwrite(data, 1, size, f) != size || fclose(f) != 0) {
    perror(path.c_str());
    abort();
  }
}

bool ReadWhole(const std::string& path, std::string* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  fclose(f);
  return true;
}

void FuzzFail(const char* cond, const char* fmt, ...) {
  fprintf(stderr, "\n==== invariant failed: %s\n", cond);
  va_list args;
  va_start(args, fmt);
  vfprintf(stderr, fmt, args);
  va_end(args);
  fputc('\n', stderr);
  abort();
}
