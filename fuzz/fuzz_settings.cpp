// The settings reader over arbitrary text, then a save and a reload.
//
// The first byte says which settings to overwrite between the load and the
// save with values taken from the bytes after it: the rate (any double), the
// last played file (any bytes but a line feed, which no file dialog gives
// and which the one-line-per-setting file cannot hold), the integers. The
// rest is the text of quorix.ini.
//
// Invariants: last_played_file is terminated within its 128 bytes; loading
// leaves config_edit alone; the save succeeds, clears config_edit and leaves
// no temporary file behind; the reload gives back what was saved, except
// where the file's format itself cannot: the rate is written as the nearest
// whole number (and a number beyond 32 bits, or no number at all, is not
// read back), and a name loses its leading blanks and quotes and ends at the
// first quote or control character.
#include <math.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "fuzz/fuzz_common.h"
#include "settings/settings.h"

static std::string ini_path, temp_path;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ini_path = FuzzPath("quorix.ini");
  temp_path = FuzzPath("quorix.ini.new");
  FUZZ_CHECK(temp_path.size() < NAME_SIZE, "temp dir too long: %s", FuzzDir());
  return 0;
}

struct Values {
  double sample_rate;
  int eightbit, mu_law, invert, autoscale, pad_first_two_bytes, rom_size_index;
  char last_played_file[NAME_SIZE];
};

static void get_values(Values* v) {
  v->sample_rate = sample_rate;
  v->eightbit = eightbit;
  v->mu_law = mu_law;
  v->invert = invert;
  v->autoscale = autoscale;
  v->pad_first_two_bytes = pad_first_two_bytes;
  v->rom_size_index = rom_size_index;
  memcpy(v->last_played_file, last_played_file, NAME_SIZE);
}

static bool take(const uint8_t** data, size_t* size, void* out, size_t n) {
  if (*size < n) return false;
  memcpy(out, *data, n);
  *data += n;
  *size -= n;
  return true;
}

// What reading "LAST_PLAYED_FILE = <name>" gives back.
static void name_as_read(const char* name, char* out) {
  while (*name == ' ' || *name == '"' || *name == '\'') name++;
  size_t n = 0;
  while ((unsigned char)name[n] >= 0x20 && name[n] != '"' && name[n] != '\'') n++;
  memcpy(out, name, n);
  out[n] = 0;
}

// What reading "SAMPLE_RATE = <rate as %8.0f>" gives back into a default.
static double rate_as_read(double rate) {
  if (!isfinite(rate)) return 24000.0;
  double whole = nearbyint(rate);  // printf rounds half to even, as this does
  if (whole < -2147483648.0 || whole > 2147483647.0) return 24000.0;
  return whole;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t flags;
  if (!take(&data, &size, &flags, 1)) return 0;
  double new_rate = 0;
  char new_name[NAME_SIZE] = "";
  int32_t new_ints[6] = {0};
  if ((flags & 1) && !take(&data, &size, &new_rate, sizeof new_rate)) return 0;
  if (flags & 2) {
    uint8_t len;
    if (!take(&data, &size, &len, 1)) return 0;
    len &= 127;
    if (!take(&data, &size, new_name, len)) return 0;
    new_name[len] = 0;
    char* lf = strchr(new_name, '\n');
    if (lf) *lf = 0;
  }
  if ((flags & 4) && !take(&data, &size, new_ints, sizeof new_ints)) return 0;

  unlink(temp_path.c_str());
  WriteWhole(ini_path, data, size);
  ResetSettings();
  config_edit = (flags >> 3) & 1;
  LoadConfig(ini_path.c_str());
  FUZZ_CHECK(memchr(last_played_file, 0, NAME_SIZE) != NULL, "last_played_file unterminated");
  FUZZ_CHECK(config_edit == ((flags >> 3) & 1), "LoadConfig changed config_edit");

  if (flags & 1) sample_rate = new_rate;
  if (flags & 2) strcpy(last_played_file, new_name);
  if (flags & 4) {
    eightbit = new_ints[0];
    mu_law = new_ints[1];
    invert = new_ints[2];
    autoscale = new_ints[3];
    pad_first_two_bytes = new_ints[4];
    rom_size_index = new_ints[5];
  }
  Values saved;
  get_values(&saved);

  config_edit = 1;
  SaveConfig(ini_path.c_str());
  FUZZ_CHECK(config_edit == 0, "save failed");
  FUZZ_CHECK(access(temp_path.c_str(), F_OK) != 0, "temporary file left behind");

  ResetSettings();
  LoadConfig(ini_path.c_str());
  Values back;
  get_values(&back);

  char expected_name[NAME_SIZE];
  name_as_read(saved.last_played_file, expected_name);
  FUZZ_CHECK(strcmp(back.last_played_file, expected_name) == 0, "name \"%s\" came back as \"%s\"",
             saved.last_played_file, back.last_played_file);
  double expected_rate = rate_as_read(saved.sample_rate);
  FUZZ_CHECK(back.sample_rate == expected_rate, "rate %.17g came back as %.17g, not %.17g",
             saved.sample_rate, back.sample_rate, expected_rate);
  FUZZ_CHECK(back.eightbit == saved.eightbit && back.mu_law == saved.mu_law &&
                 back.invert == saved.invert && back.autoscale == saved.autoscale &&
                 back.pad_first_two_bytes == saved.pad_first_two_bytes &&
                 back.rom_size_index == saved.rom_size_index,
             "integers: %d %d %d %d %d %d came back as %d %d %d %d %d %d", saved.eightbit,
             saved.mu_law, saved.invert, saved.autoscale, saved.pad_first_two_bytes,
             saved.rom_size_index, back.eightbit, back.mu_law, back.invert, back.autoscale,
             back.pad_first_two_bytes, back.rom_size_index);
  return 0;
}
