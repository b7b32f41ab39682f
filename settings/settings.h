// The settings that steer the conversions and remember the last sound
// played, and the configuration file "quorix.ini" that keeps them between
// runs: lines of key, equals sign and value.
#pragma once

#include <stdint.h>

#define NAME_SIZE 128  // every file-name buffer: 127 characters and a NUL

extern double sample_rate;            // Hz of the WAV files written from images
extern int eightbit;                  // nonzero: images become 8-bit WAV files
extern int mu_law;                    // 1: u255-law codes; anything else: linear offset
extern int invert;                    // nonzero: invert the waveform
extern int autoscale;                 // nonzero: measure the peak and scale to it
extern int pad_first_two_bytes;       // kept and saved only
extern int rom_size_index;            // kept and saved only
extern char last_played_file[NAME_SIZE];  // the WAV file played last
extern int config_edit;               // nonzero: save the settings at shutdown
extern char configfile[NAME_SIZE];    // full name of the configuration file

extern const char szAppName[];        // "QUORIX"

// Puts back the built-in values of every setting (and clears config_edit).
void ResetSettings(void);

// Builds the configuration file's name into `out` (NAME_SIZE bytes): the
// directory from QUORIX_PATH, else the current directory, with '/' as
// separator, then "quorix.ini".
void BuildConfigPath(char* out);
// The configuration file's name in `dir` into `out` (NAME_SIZE bytes):
// backslashes become '/', one '/' separates, then "quorix.ini". Returns 0,
// leaving `out` alone, when `dir` is empty or the name would not fit.
int ComposeConfigPath(char* out, const char* dir);

void LoadConfig(const char* config_path);
void SaveConfig(const char* config_path);

int ReadString(char* var, char* line, const char* str, int maxlen);
int ReadInteger(char* line, const char* str, int* var);
int ReadLong(char* line, const char* str, int32_t* var);
