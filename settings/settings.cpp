#include "settings/settings.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "platform/platform.h"

double sample_rate = 24000.0;
int eightbit = 0;
int mu_law = 1;
int invert = 0;
int autoscale = 0;
int pad_first_two_bytes = 1;
int rom_size_index = 1;
char last_played_file[NAME_SIZE];
int config_edit = 0;
char configfile[NAME_SIZE];

const char szAppName[] = "QUORIX";

static const char config_name[] = "quorix.ini";

void ResetSettings(void) {
  sample_rate = 24000.0;
  eightbit = 0;
  mu_law = 1;
  invert = 0;
  autoscale = 0;
  pad_first_two_bytes = 1;
  rom_size_index = 1;
  last_played_file[0] = 0;
  config_edit = 0;
}

// The name must fit its 128 bytes: returns 0, with `out` untouched, when the
// directory is empty or too long for that.
int ComposeConfigPath(char* out, const char* dir) {
  size_t len = strlen(dir);
  if (len == 0) return 0;
  int slash = dir[len - 1] != '/' && dir[len - 1] != '\\';
  if (len + (size_t)slash + sizeof config_name > NAME_SIZE) return 0;
  memcpy(out, dir, len);
  out[len] = 0;
  for (char* p = out; *p; p++)
    if (*p == '\\') *p = '/';
  if (slash) strcat(out, "/");
  strcat(out, config_name);
  return 1;
}

// When the chosen directory is empty or too long, the file is looked for in
// the current directory under its bare name.
void BuildConfigPath(char* out) {
  char cwd[120];
  const char* dir = getenv("QUORIX_PATH");
  if (!dir) dir = PlatformGetCwd(cwd, sizeof cwd) ? cwd : "";
  if (!ComposeConfigPath(out, dir)) strcpy(out, config_name);
}

// Finds the key anywhere in the line (a plain, case-sensitive substring),
// then the first '=' after it. Returns what follows the '=' or null.
static char* find_value(char* line, const char* str) {
  char* key = strstr(line, str);
  if (!key) return NULL;
  return strchr(key, '=');
}

int ReadString(char* var, char* line, const char* str, int maxlen) {
  char* p = find_value(line, str);
  if (!p) return 0;
  if (maxlen < 1) return 1;
  p++;
  while (*p == ' ' || *p == '"' || *p == '\'') p++;
  int n = 0;
  // Bytes of 0x80 and above belong to the value, so that file names in any
  // code page come back as they were saved.
  while (n < maxlen - 1) {
    unsigned char c = (unsigned char)p[n];
    if (c < 0x20 || c == '"' || c == '\'') break;
    var[n++] = (char)c;
  }
  var[n] = 0;
  return 1;
}

// The "= %d" scan: '=', white space, an optional sign and decimal digits.
// Returns 0 when no number follows or it does not fit in 32 bits; the
// setting then keeps the value it had.
static int scan_number(const char* p, int32_t* out) {
  p++;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') p++;
  int negative = 0;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (*p < '0' || *p > '9') return 0;
  int64_t v = 0;
  for (; *p >= '0' && *p <= '9'; p++) {
    v = v * 10 + (*p - '0');
    if (v > (int64_t)INT32_MAX + 1) return 0;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return 0;
  *out = (int32_t)v;
  return 1;
}

// Takes the line when it holds the key and a later '='; `*stored` tells
// whether a number was found and put into `*var`.
static int read_number(char* line, const char* str, int32_t* var, int* stored) {
  char* p = find_value(line, str);
  *stored = 0;
  if (!p) return 0;
  *stored = scan_number(p, var);
  return 1;
}

int ReadInteger(char* line, const char* str, int* var) {
  int32_t v;
  int stored;
  if (!read_number(line, str, &v, &stored)) return 0;
  if (stored) *var = (int)v;
  return 1;
}

int ReadLong(char* line, const char* str, int32_t* var) {
  int stored;
  return read_number(line, str, var, &stored);
}

enum { LINE_BUFFER = 1024 };

void LoadConfig(const char* config_path) {
  char* line = (char*)PlatformAlloc(LINE_BUFFER);
  if (!line) return;
  FILE* fp = fopen(config_path, "r");
  if (!fp) {
    PlatformFree(line);
    return;
  }
  while (fgets(line, LINE_BUFFER, fp)) {
    int32_t tsr;
    int stored;
    if (ReadString(last_played_file, line, "LAST_PLAYED_FILE", NAME_SIZE)) continue;
    if (ReadInteger(line, "MU_LAW", &mu_law)) continue;
    if (ReadInteger(line, "INVERT", &invert)) continue;
    if (ReadInteger(line, "PAD_FIRST_TWO_BYTES", &pad_first_two_bytes)) continue;
    if (ReadInteger(line, "AUTOSCALE", &autoscale)) continue;
    if (ReadInteger(line, "ROM_SIZE_INDEX", &rom_size_index)) continue;
    if (ReadInteger(line, "EIGHTBIT", &eightbit)) continue;
    if (read_number(line, "SAMPLE_RATE", &tsr, &stored) && stored) sample_rate = (double)tsr;
  }
  PlatformFree(line);
  fclose(fp);
}

static int write_settings(FILE* fp) {
  fprintf(fp, "* Automatically generated configuration file for %s\n\n", szAppName);
  if (last_played_file[0]) fprintf(fp, "LAST_PLAYED_FILE = %s\n", last_played_file);
  fprintf(fp, "MU_LAW = %d\n", mu_law);
  fprintf(fp, "INVERT = %d\n", invert);
  fprintf(fp, "PAD_FIRST_TWO_BYTES = %d\n", pad_first_two_bytes);
  fprintf(fp, "AUTOSCALE = %d\n", autoscale);
  fprintf(fp, "ROM_SIZE_INDEX = %d\n", rom_size_index);
  fprintf(fp, "EIGHTBIT = %d\n", eightbit);
  fprintf(fp, "SAMPLE_RATE = %8.0f\n", sample_rate);
  return ferror(fp) ? -1 : 0;
}

// The settings are written to a new file beside the old one, which replaces
// the old file only once it is complete: a full disk or a failing device
// leaves the previous settings in place instead of a truncated file.
void SaveConfig(const char* config_path) {
  if (!config_edit) return;
  char temp[NAME_SIZE + 8];
  // A cut name would be some other file, perhaps one that exists: keep the
  // old settings file instead.
  if (snprintf(temp, sizeof temp, "%s.new", config_path) >= (int)sizeof temp) return;
  FILE* fp = fopen(temp, "w");
  if (!fp) return;
  int failed = write_settings(fp);
  if (fclose(fp) != 0) failed = -1;
  if (failed || ReplaceFileWith(temp, config_path) != 0) {
    remove(temp);
    return;
  }
  config_edit = 0;
}
