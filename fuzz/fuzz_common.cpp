#include "fuzz/fuzz_common.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <set>

#include "convert/convert.h"

static char dir[256];
static std::set<std::string>* made;

static void remove_files(void) {
  if (made)
    for (const std::string& p : *made) unlink(p.c_str());
  if (dir[0]) rmdir(dir);
}

const char* FuzzDir(void) {
  if (!dir[0]) {
    const char* tmp = getenv("TMPDIR");
    snprintf(dir, sizeof dir, "%s/quorix-fuzz-XXXXXX", tmp && *tmp ? tmp : "/tmp");
    if (!mkdtemp(dir)) {
      perror("mkdtemp");
      abort();
    }
    made = new std::set<std::string>;
    atexit(remove_files);
  }
  return dir;
}

std::string FuzzPath(const char* name) {
  std::string p = std::string(FuzzDir()) + "/" + name;
  made->insert(p);
  return p;
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

static const char* skip_number(const char* p, bool sign) {
  if (sign && *p == '-') p++;
  const char* digits = p;
  while (*p >= '0' && *p <= '9') p++;
  return p > digits ? p : NULL;
}

bool MatchesFormat(const char* f, const char* s) {
  while (*f) {
    if (*f != '%') {
      if (*s != *f) return false;
      f++;
      s++;
      continue;
    }
    f++;
    if (*f == '%') {
      if (*s != '%') return false;
      f++;
      s++;
    } else if (*f == 's') {
      // Any text, as short or as long as the rest needs.
      for (const char* t = s;; t++) {
        if (MatchesFormat(f + 1, t)) return true;
        if (!*t) return false;
      }
    } else if (strncmp(f, "2d", 2) == 0) {
      const char* start = s;
      while (*s == ' ') s++;
      const char* end = skip_number(s, true);
      if (!end || end - start < 2 || (s > start && end - start != 2)) return false;
      s = end;
      f += 2;
    } else if (*f == 'd' || strncmp(f, "ld", 2) == 0 || *f == 'u') {
      const char* end = skip_number(s, *f != 'u');
      if (!end) return false;
      s = end;
      f += *f == 'l' ? 2 : 1;
    } else if (strncmp(f, ".0f", 3) == 0 || strncmp(f, ".3f", 3) == 0) {
      const char* end = skip_number(s, true);
      if (!end) return false;
      s = end;
      if (f[1] == '3') {
        if (s[0] != '.' || !(s[1] >= '0' && s[1] <= '9') || !(s[2] >= '0' && s[2] <= '9') ||
            !(s[3] >= '0' && s[3] <= '9'))
          return false;
        s += 4;
      }
      f += 3;
    } else {
      fprintf(stderr, "MatchesFormat: unknown conversion in \"%s\"\n", f - 1);
      abort();
    }
  }
  return *s == 0;
}

int MatchingFormat(const char* const* formats, const char* line) {
  for (int i = 0; formats[i]; i++)
    if (MatchesFormat(formats[i], line)) return i;
  return -1;
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

void FuzzConversionFiles(const char* input, const char* output, std::string* input_path,
                         std::string* output_path) {
  *input_path = FuzzPath(input);
  *output_path = FuzzPath(output);
  FUZZ_CHECK(input_path->size() < NAME_SIZE && output_path->size() < NAME_SIZE,
             "temp dir too long: %s", FuzzDir());
  strcpy(dmxfilename, input_path->c_str());
  strcpy(output_filename, output_path->c_str());
}
