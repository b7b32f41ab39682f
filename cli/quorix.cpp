// quorix: the conversions from the command line, for batches and scripts.
// It runs the same engine as the desktop program, starts from the same
// quorix.ini and prints the engine's report, one line per report line.
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cli/command.h"
#include "cli/module.h"
#include "convert/convert.h"
#include "report/report.h"
#include "settings/settings.h"

static const char usage_text[] =
    "usage: quorix wav2dmx [--mu-law|--linear] [--invert|--no-invert]\n"
    "                      [--autoscale|--no-autoscale] INPUT OUTPUT\n"
    "       quorix dmx2wav [--rate HZ] [--8bit|--16bit] INPUT OUTPUT\n";
static const char usage_end[] = "       quorix [COMMAND] --help | --version\n";

// machines needs no module; prepare, listen and info come from the tools
// module, loaded only when one of them runs.
static const Command* const local_commands[] = {&machines_command, nullptr};

static const Command* find_command(const Command* const* table, const char* name) {
  for (; table && *table; table++)
    if (strcmp((*table)->name, name) == 0) return *table;
  return NULL;
}

static void print_usage(FILE* to) {
  fputs(usage_text, to);
  char error[512] = "";
  const Command* const* tools = tool_commands(error, sizeof error);
  for (const Command* const* table = local_commands; *table; table++) fprintf(to, "       %s", (*table)->usage);
  for (const Command* const* table = tools; table && *table; table++) fprintf(to, "       %s", (*table)->usage);
  fputs(usage_end, to);
  if (!tools) fprintf(to, "(prepare, listen and info cannot be loaded: %s)\n", error);
}

static const char help_text[] =
    "Converts WAV files to raw 8-bit EPROM images for sample-based drum\n"
    "machines, and EPROM images back to WAV files.\n"
    "\n"
    "  wav2dmx   WAV file (PCM, mono or stereo, 8 or 16 bit) to EPROM image\n"
    "    --mu-law        u255-law codes, as the Oberheim DMX uses\n"
    "    --linear        linear offset codes (128 is silence)\n"
    "    --invert        invert the waveform      --no-invert   leave it\n"
    "    --autoscale     scale to the loudest frame  --no-autoscale  keep full scale\n"
    "  dmx2wav   EPROM image (u255-law codes) to a mono WAV file\n"
    "    --rate HZ       sample rate, a decimal number such as 24000 or 31250.5\n"
    "    --8bit          8-bit samples      --16bit   16-bit samples\n"
    "\n"
    "Other commands: quorix COMMAND --help tells more of each.\n"
    "\n"
    "Settings start from quorix.ini (in the folder named by QUORIX_PATH, else the\n"
    "current folder); the options above override them for this run only.\n"
    "The report goes to standard output. Exit status: 0 finished, 1 could not\n"
    "start or could not write the output, 2 stopped on bad input, 64 usage error.\n";

static int usage_error(const char* reason, const char* detail) {
  if (detail)
    fprintf(stderr, "quorix: %s: %s\n", reason, detail);
  else
    fprintf(stderr, "quorix: %s\n", reason);
  print_usage(stderr);
  return EXIT_USAGE;
}

static int is_help(const char* a) { return strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0; }

// The rate is a decimal number, fractions and exponent allowed; unlike the
// rate dialog, text after the number is an error here, not ignored.
static int parse_rate(const char* text, double* rate) {
  char* end;
  errno = 0;
  double v = strtod(text, &end);
  if (end == text || *end != 0 || errno == ERANGE || !isfinite(v)) return 0;
  if (v >= 2147483648.0) return 0;
  *rate = v;
  return 1;
}

static int copy_name(char* dest, const char* name) {
  if (strlen(name) >= NAME_SIZE) return 0;
  strcpy(dest, name);
  return 1;
}

int quorix_main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command given", NULL);
  const char* command = argv[1];
  if (is_help(command) || (argc > 2 && is_help(argv[2]) && (strcmp(command, "wav2dmx") == 0 ||
                                                             strcmp(command, "dmx2wav") == 0))) {
    print_usage(stdout);
    fputs("\n", stdout);
    fputs(help_text, stdout);
    return EXIT_FINISHED;
  }
  if (strcmp(command, "--version") == 0) {
    printf("quorix command-line converter, Version 1.02\n");
    return EXIT_FINISHED;
  }
  int to_image = strcmp(command, "wav2dmx") == 0;
  if (!to_image && strcmp(command, "dmx2wav") != 0) {
    const Command* c = find_command(local_commands, command);
    char error[512];
    if (!c) {
      const Command* const* tools = tool_commands(error, sizeof error);
      c = find_command(tools, command);
      if (!c && !tools) {
        fprintf(stderr, "quorix: %s: the converter's tools module cannot be loaded: %s\n", command, error);
        return EXIT_FAILED;
      }
    }
    if (!c) return usage_error("unknown command", command);
    if (argc > 2 && is_help(argv[2])) {
      printf("usage: %s\n%s", c->usage, c->help);
      return EXIT_FINISHED;
    }
    return c->run(argc - 1, argv + 1);
  }

  BuildConfigPath(configfile);
  LoadConfig(configfile);

  const char* files[2];
  int nfiles = 0;
  int options_done = 0;
  for (int i = 2; i < argc; i++) {
    const char* a = argv[i];
    if (!options_done && strcmp(a, "--") == 0) {
      options_done = 1;
    } else if (!options_done && a[0] == '-' && a[1] == '-') {
      if (to_image && strcmp(a, "--mu-law") == 0) mu_law = 1;
      else if (to_image && strcmp(a, "--linear") == 0) mu_law = 0;
      else if (to_image && strcmp(a, "--invert") == 0) invert = 1;
      else if (to_image && strcmp(a, "--no-invert") == 0) invert = 0;
      else if (to_image && strcmp(a, "--autoscale") == 0) autoscale = 1;
      else if (to_image && strcmp(a, "--no-autoscale") == 0) autoscale = 0;
      else if (!to_image && strcmp(a, "--8bit") == 0) eightbit = 1;
      else if (!to_image && strcmp(a, "--16bit") == 0) eightbit = 0;
      else if (!to_image && strcmp(a, "--rate") == 0) {
        if (i + 1 >= argc) return usage_error("--rate needs a value", NULL);
        if (!parse_rate(argv[++i], &sample_rate))
          return usage_error("--rate needs a number below 2147483648", argv[i]);
      } else {
        return usage_error("unknown option", a);
      }
    } else {
      if (nfiles == 2) return usage_error("too many file names", a);
      files[nfiles++] = a;
    }
  }
  if (nfiles < 2) return usage_error("INPUT and OUTPUT are both needed", NULL);
  if (!copy_name(dmxfilename, files[0]))
    return usage_error("input name longer than 127 characters", files[0]);
  if (!copy_name(output_filename, files[1]))
    return usage_error("output name longer than 127 characters", files[1]);

  play_after_conversion = 0;
  if (to_image)
    ConvertWAVToDMX();
  else
    ConvertDMXtoWAV();

  for (int i = 0; i < textlines; i++) puts(textline[i]);
  fflush(stdout);
  EraseTextBuffer();
  ReleaseTextBuffer();

  switch (conversion_outcome) {
    case OUTCOME_FINISHED: return EXIT_FINISHED;
    case OUTCOME_REJECTED: return EXIT_BAD_INPUT;
    default: return EXIT_FAILED;
  }
}

// On Windows, wmain in cli/main_win.cpp starts the converter; the pictures
// are linked in there and drawn with the system's fonts.
#ifndef _WIN32
int main(int argc, char** argv) { return quorix_main(argc, argv); }

// The pictures' text is drawn with fonts fontconfig finds (in the plot
// module); it keeps what it found for the life of the process and never
// frees it, which LeakSanitizer would report when a sanitizer build that
// drew a picture exits. The suppression must live in the program itself.
// Leaks of our own are still reported.
extern "C" const char* __lsan_default_suppressions(void);
extern "C" const char* __lsan_default_suppressions(void) { return "leak:libfontconfig.so\n"; }
#endif
