#include "app/frontend.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "version.h"

const char szAppCaption[] = "Waveform conversion program";

const char rate_out_of_range_text[] =
    "Sample rate out of range: a WAV file holds at most 2147483647 Hz.";
const char chosen_name_too_long_text[] =
    "The name of the chosen file is too long: QUORIX takes file names of at "
    "most 126 characters, folders included.";

char* extension(char* str) {
  size_t len = strlen(str);
  if (len > 4 && str[len - 4] == '.') return str + len - 3;
  return str;
}

// Letter case does not matter in Windows file names, so neither here; the C
// library's case-blind compare has a different name on every system.
static int same_ignoring_case(const char* a, const char* b) {
  for (;; a++, b++) {
    char ca = *a >= 'A' && *a <= 'Z' ? (char)(*a - 'A' + 'a') : *a;
    char cb = *b >= 'A' && *b <= 'Z' ? (char)(*b - 'A' + 'a') : *b;
    if (ca != cb) return 0;
    if (!ca) return 1;
  }
}

void ProposeOutputName(char* name, const char* ext) {
  char* dot = strchr(name, '.');
  if (dot) *dot = 0;
  size_t room = NAME_SIZE - 1 - strlen(ext);
  if (strlen(name) > room) name[room] = 0;
  strcat(name, ext);
}

int AppendExtension(char* name, const char* ext3) {
  if (same_ignoring_case(extension(name), ext3)) return 1;
  if (strlen(name) + 1 + strlen(ext3) > NAME_SIZE - 1) return 0;
  strcat(name, ".");
  strcat(name, ext3);
  return 1;
}

void FormatRateText(char* out, size_t size, double rate) {
  snprintf(out, size, "%8.2f", rate);
}

int ReadRateText(const char* text, double* rate) {
  double v = atof(text);
  if (!(v < RATE_TEXT_LIMIT && v > -RATE_TEXT_LIMIT)) return 0;
  *rate = v;
  return 1;
}

void FormatAboutText(char* out, size_t size, const char* config_name) {
  snprintf(out, size,
           "%s\n\n"
           "Drum voices between WAV files and EPROM images, for the\n"
           "Oberheim DMX and for drum machines with linear samples.\n\n"
           "Version " QUORIX_VERSION "\n"
           "Configuration file = %s\n",
           szAppCaption, config_name);
}

void FormatNoRoomText(char* out, size_t size, const char* name, const char* ext3) {
  snprintf(out, size,
           "The name is too long to add \".%s\" to it:\n%s\n\n"
           "A file name holds at most 127 characters, folders included.",
           ext3, name);
}
