// quorix: the conversions from the command line, for batches and scripts,
// and the commands that prepare, hear and inspect images for the machines.
// wav2dmx and dmx2wav run the desktop program's engine, start from the same
// quorix.ini and print the engine's report, one line per report line.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/module.h"
#include "cli/output.h"
#include "convert/convert.h"
#include "platform/files.h"
#include "report/report.h"
#include "settings/settings.h"
#include "version.h"

// machines and the conversions need no module; the others come from the
// tools module, loaded only when one of them runs. Their names are known
// here, so that a mistyped command is a usage error whether or not the
// module loads.
static const Command* const local_commands[] = {&wav2dmx_command, &dmx2wav_command, &machines_command};
static const char* const tool_names[] = {"prepare", "kit", "listen", "info"};

static const char help_text[] =
    "Converts WAV files to raw 8-bit EPROM images for sample-based drum\n"
    "machines and back, prepares a voice for a machine from any sound file,\n"
    "and tells what is in an image and what the machine will play from it.\n"
    "quorix COMMAND --help tells more of each command.\n"
    "\n"
    "wav2dmx and dmx2wav start from the settings of quorix.ini (in the folder\n"
    "named by QUORIX_PATH, else the current folder); their options override\n"
    "them for this run only. The report goes to standard output.\n"
    "\n"
    "Exit status, the same for every command: 0 finished; 1 an input could not\n"
    "be opened or read, an output or the report could not be written (nothing is\n"
    "then changed), or a library failed; 2 an input is not usable; 64 usage\n"
    "error (a one-line reason on standard error). Over several files, the worst:\n"
    "1 before 2.\n";

static void print_usage(FILE* to) {
  const char* lead = "usage: ";
  for (const Command* c : local_commands) fprintf(to, "%s%s", lead, usage_line(*c).c_str()), lead = "       ";
  char error[512] = "";
  const Command* const* tools = tool_commands(error, sizeof error);
  for (const Command* const* c = tools; c && *c; c++) fprintf(to, "       %s", usage_line(**c).c_str());
  fputs("       quorix [COMMAND] --help | --version\n", to);
  if (!tools) fprintf(to, "(prepare, kit, listen and info cannot be loaded: %s)\n", error);
}

static int usage_error(const std::string& reason) {
  fprintf(stderr, "quorix: %s\n", reason.c_str());
  print_usage(stderr);
  return exit_status(Outcome::usage);
}

static bool is_help(const char* a) { return strcmp(a, "--help") == 0 || strcmp(a, "-h") == 0; }

static const Command* find_command(const char* name, char* error, size_t size, bool* load_failed) {
  *load_failed = false;
  for (const Command* c : local_commands)
    if (strcmp(c->name, name) == 0) return c;
  bool known = false;
  for (const char* t : tool_names) known = known || strcmp(t, name) == 0;
  if (!known) return nullptr;
  const Command* const* tools = tool_commands(error, size);
  for (const Command* const* c = tools; c && *c; c++)
    if (strcmp((*c)->name, name) == 0) return *c;
  *load_failed = true;
  return nullptr;
}

int quorix_main(int argc, char** argv) {
  if (argc < 2) return usage_error("no command given");
  const char* name = argv[1];
  if (is_help(name)) {
    print_usage(stdout);
    printf("\n%s", help_text);
    return report_written(wav2dmx_command, Outcome::finished) == Outcome::finished ? 0 : 1;
  }
  if (strcmp(name, "--version") == 0) {
    printf("quorix command-line converter, Version %s\n", QUORIX_VERSION);
    return 0;
  }
  char error[512] = "";
  bool load_failed;
  const Command* command = find_command(name, error, sizeof error, &load_failed);
  if (load_failed) {
    fprintf(stderr, "quorix %s: the converter's tools module cannot be loaded: %s\n", name, error);
    return exit_status(Outcome::failed);
  }
  if (!command) return usage_error(std::string("unknown command: ") + name);

  ParsedArgs args;
  std::string why;
  if (!parse_args(command->options, std::vector<std::string>(argv + 2, argv + argc), &args, &why))
    return exit_status(say(*command, Outcome::usage, why));
  if (args.help) {
    fputs(command_help(*command).c_str(), stdout);
    return exit_status(report_written(*command, Outcome::finished));
  }
  return exit_status(report_written(*command, command->run(args)));
}

// ---- The desktop program's two conversions ----

static const OptionSpec wav2dmx_options[] = {
    {"mu-law", nullptr, "u255-law codes, as the Oberheim DMX uses"},
    {"linear", nullptr, "linear offset codes (128 is silence)"},
    {"invert", nullptr, "invert the waveform"},
    {"no-invert", nullptr, "leave it as it is"},
    {"autoscale", nullptr, "scale to the loudest frame"},
    {"no-autoscale", nullptr, "keep full scale"},
    {nullptr, nullptr, nullptr},
};

// Any rate the settings file could hold; below 1 Hz the engine takes its
// default of 24000.
static const Range dmx2wav_rate = {0, 2147483647, false, "Hz"};

static const OptionSpec dmx2wav_options[] = {
    {"rate", "HZ", "sample rate, %R, such as 24000 or 31250.5", &dmx2wav_rate},
    {"8bit", nullptr, "8-bit samples"},
    {"16bit", nullptr, "16-bit samples"},
    {nullptr, nullptr, nullptr},
};

// The engine opens its output itself, as the desktop program does. A regular
// file is given it as a temporary file beside the target, put in place by
// the writer once the conversion finished: a rejected or failed conversion
// leaves the old file as it was. Report lines name the target, not the
// temporary file.
static Outcome convert(const Command& command, uint32_t (*conversion)(void), const ParsedArgs& args) {
  if (args.names.size() < 2) return say(command, Outcome::usage, "INPUT and OUTPUT are both needed");
  if (args.names.size() > 2) return say(command, Outcome::usage, "too many file names: " + args.names[2]);
  const std::string &input = args.names[0], &output = args.names[1];
  if (input.size() >= NAME_SIZE || output.size() >= NAME_SIZE)
    return say(command, Outcome::usage, "a file name longer than 127 characters");
  if (output == "-") return say(command, Outcome::usage, "OUTPUT cannot be standard output; name a file");
  std::string why;
  if (!plan_outputs({input}, {output}, &why)) return say(command, Outcome::cannot_write, why);

  std::string temp;
  if (replaced_by_rename(output) && make_temporary(output, &temp, &why) && temp.size() >= NAME_SIZE) {
    remove_file(temp);
    temp.clear();
  }
  strcpy(dmxfilename, input.c_str());
  strcpy(output_filename, temp.empty() ? output.c_str() : temp.c_str());
  play_after_conversion = 0;
  conversion();
  for (int i = 0; i < textlines; i++) {
    std::string line = textline[i];
    size_t at = temp.empty() ? std::string::npos : line.find(temp);
    if (at != std::string::npos) line.replace(at, temp.size(), output);
    puts(line.c_str());
  }
  EraseTextBuffer();
  ReleaseTextBuffer();

  switch (conversion_outcome) {
    case OUTCOME_FINISHED:
      if (!temp.empty() && !write_outputs({{output, {}, temp}}, &why))
        return say(command, Outcome::cannot_write, why + "; nothing was written");
      return Outcome::finished;
    case OUTCOME_REJECTED:
      if (!temp.empty()) remove_file(temp);
      return Outcome::unusable;
    case OUTCOME_WRITE_FAILED:
      if (!temp.empty()) remove_file(temp);
      return Outcome::cannot_write;
    default:
      if (!temp.empty()) remove_file(temp);
      return Outcome::cannot_read;
  }
}

static Outcome run_wav2dmx(const ParsedArgs& args) {
  BuildConfigPath(configfile);
  LoadConfig(configfile);
  for (const ParsedArgs::Given& g : args.options) {
    std::string o = g.option->name;
    if (o == "mu-law" || o == "linear") mu_law = o == "mu-law";
    if (o == "invert" || o == "no-invert") invert = o == "invert";
    if (o == "autoscale" || o == "no-autoscale") autoscale = o == "autoscale";
  }
  return convert(wav2dmx_command, ConvertWAVToDMX, args);
}

static Outcome run_dmx2wav(const ParsedArgs& args) {
  BuildConfigPath(configfile);
  LoadConfig(configfile);
  std::string why;
  if (!number_option(args, "rate", dmx2wav_rate, &sample_rate, &why))
    return say(dmx2wav_command, Outcome::usage, why);
  for (const ParsedArgs::Given& g : args.options)
    if (strcmp(g.option->name, "rate") != 0) eightbit = strcmp(g.option->name, "8bit") == 0;
  return convert(dmx2wav_command, ConvertDMXtoWAV, args);
}

const Command wav2dmx_command = {
    "wav2dmx", "INPUT OUTPUT",
    "Converts a PCM WAV file (mono or stereo, 8 or 16 bit) into an EPROM image,\n"
    "one code byte per frame, with the settings of quorix.ini and the options.\n",
    wav2dmx_options, run_wav2dmx};

const Command dmx2wav_command = {
    "dmx2wav", "INPUT OUTPUT",
    "Converts an EPROM image (u255-law codes) into a mono WAV file, with the\n"
    "settings of quorix.ini and the options.\n",
    dmx2wav_options, run_dmx2wav};

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
// libvorbis likewise keeps a stream's description when libsndfile gives up
// on a damaged Ogg file half-way through its headers.
extern "C" const char* __lsan_default_suppressions(void) {
  return "leak:libfontconfig.so\nleak:vorbis_info_init\n";
}
#endif
