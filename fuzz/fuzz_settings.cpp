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
  FUZZ_CHECK(temp_path.size() < NAME_SIZE, "temporary folder name too long: %s", temp_path.c_str());
  return 0;
}

static int* const kIntegers[] = {&eightbit, &mu_law, &invert, &autoscale, &pad_first_two_bytes,
                                 &rom_size_index};
enum { INTEGERS = sizeof kIntegers / sizeof kIntegers[0] };

// What reading "LAST_PLAYED_FILE = <name>" gives back.
static std::string name_as_read(const char* name) {
  while (*name == ' ' || *name == '"' || *name == '\'') name++;
  size_t n = 0;
  while ((unsigned char)name[n] >= 0x20 && name[n] != '"' && name[n] != '\'') n++;
  return std::string(name, n);
}

// What reading "SAMPLE_RATE = <rate as %8.0f>" gives back into a default.
static double rate_as_read(double rate) {
  if (!isfinite(rate)) return 24000.0;
  double whole = nearbyint(rate);  // printf rounds half to even, as this does
  if (whole < -2147483648.0 || whole > 2147483647.0) return 24000.0;
  return whole;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t flags, len;
  if (!FuzzTake(&data, &size, &flags, 1)) return 0;
  double new_rate = 0;
  char new_name[NAME_SIZE] = "";
  int32_t new_ints[INTEGERS] = {0};
  if ((flags & 1) && !FuzzTake(&data, &size, &new_rate, sizeof new_rate)) return 0;
  if (flags & 2) {
    if (!FuzzTake(&data, &size, &len, 1) || !FuzzTake(&data, &size, new_name, len & 127)) return 0;
    new_name[len & 127] = 0;
    if (char* lf = strchr(new_name, '\n')) *lf = 0;
  }
  if ((flags & 4) && !FuzzTake(&data, &size, new_ints, sizeof new_ints)) return 0;

  unlink(temp_path.c_str());
  WriteWhole(ini_path, data, size);
  ResetSettings();
  const int edit = (flags >> 3) & 1;
  config_edit = edit;
  LoadConfig(ini_path.c_str());
  FUZZ_CHECK(memchr(last_played_file, 0, NAME_SIZE) != NULL, "last_played_file unterminated");
  FUZZ_CHECK(config_edit == edit, "LoadConfig changed config_edit");

  if (flags & 1) sample_rate = new_rate;
  if (flags & 2) strcpy(last_played_file, new_name);
  if (flags & 4)
    for (int i = 0; i < INTEGERS; i++) *kIntegers[i] = new_ints[i];
  const double saved_rate = sample_rate;
  const std::string saved_name = last_played_file;
  int saved_ints[INTEGERS];
  for (int i = 0; i < INTEGERS; i++) saved_ints[i] = *kIntegers[i];

  config_edit = 1;
  SaveConfig(ini_path.c_str());
  FUZZ_CHECK(config_edit == 0, "save failed");
  FUZZ_CHECK(access(temp_path.c_str(), F_OK) != 0, "temporary file left behind");

  ResetSettings();
  LoadConfig(ini_path.c_str());
  const std::string expected_name = name_as_read(saved_name.c_str());
  FUZZ_CHECK(expected_name == last_played_file, "name \"%s\" came back as \"%s\"", saved_name.c_str(),
             last_played_file);
  FUZZ_CHECK(sample_rate == rate_as_read(saved_rate), "rate %.17g came back as %.17g", saved_rate,
             sample_rate);
  for (int i = 0; i < INTEGERS; i++)
    FUZZ_CHECK(*kIntegers[i] == saved_ints[i], "integer %d: %d came back as %d", i, saved_ints[i],
               *kIntegers[i]);
  return 0;
}
