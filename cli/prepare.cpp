// quorix prepare: from any sound file to the EPROM image a drum machine's
// voice card plays. This file reads the options, checks the file names and
// writes the files; the work itself is the steps of voice/prepare.h.
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "voice/audio.h"
#include "voice/output.h"
#include "voice/prepare.h"

static int usage(const char* reason, const char* detail = nullptr) {
  return command_usage_error(prepare_command, reason, detail);
}

// A decimal number and nothing after it.
static bool parse_number(const char* text, double* v) {
  char* end;
  errno = 0;
  *v = strtod(text, &end);
  return end != text && *end == 0 && errno != ERANGE && isfinite(*v);
}

static bool parse_whole(const char* text, double lo, double hi, double* v) {
  return parse_number(text, v) && *v == floor(*v) && *v >= lo && *v <= hi;
}

// "kick.bin" and chip 2 give "kick-2.bin"; a name without an extension gets
// the number at its end.
static std::string chip_name(const std::string& out, uint32_t n) {
#ifdef _WIN32
  // "sets.v2\kick" and "D:kick" have no extension on Windows either.
  size_t slash = out.find_last_of("/\\:");
#else
  size_t slash = out.rfind('/');
#endif
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = out.rfind('.');
  std::string number = "-" + std::to_string(n);
  if (dot == std::string::npos || dot <= base) return out + number;
  return out.substr(0, dot) + number + out.substr(dot);
}

static std::string shown(const std::string& name) { return name == "-" ? "standard input" : name; }

static int run_prepare(int argc, char** argv) {
  PrepareOptions o;
  std::string preview;
  bool quiet = false;
  std::vector<std::string> names;
  bool options_done = false;
  for (int i = 1; i < argc; i++) {
    std::string a = argv[i];
    if (options_done || a == "-" || a.compare(0, 2, "--") != 0) {
      if (!options_done && a.size() > 1 && a[0] == '-' && a != "-") return usage("unknown option", argv[i]);
      names.push_back(a);
      continue;
    }
    if (a == "--") {
      options_done = true;
      continue;
    }
    if (a == "--help") {
      printf("usage: %s\n%s", prepare_command.usage, prepare_command.help);
      return EXIT_FINISHED;
    }
    // --name VALUE, or --name=VALUE
    std::string value;
    bool has_value = false;
    size_t eq = a.find('=');
    if (eq != std::string::npos) {
      value = a.substr(eq + 1);
      a = a.substr(0, eq);
      has_value = true;
    }
    auto flag = [&](bool* target, bool set) {
      if (has_value) return false;
      *target = set;
      return true;
    };
    if (a == "--no-cut" || a == "--no-pad" || a == "--trim" || a == "--quiet") {
      bool ok = a == "--no-cut"   ? flag(&o.cut, false)
                : a == "--no-pad" ? flag(&o.pad, false)
                : a == "--trim"   ? flag(&o.trim, true)
                                  : flag(&quiet, true);
      if (!ok) return usage("takes no value", a.c_str());
      continue;
    }
    static const char* const with_value[] = {"--machine", "--rate",  "--eprom", "--size",    "--chips", "--channel",
                                             "--gain",    "--fade",  "--code",  "--encoder", "--preview"};
    bool known = false;
    for (const char* w : with_value) known = known || a == w;
    if (!known) return usage("unknown option", a.c_str());
    if (!has_value) {
      if (i + 1 >= argc) return usage("needs a value", a.c_str());
      value = argv[++i];
    }
    const char* v = value.c_str();
    double n;
    if (a == "--machine") {
      o.machine = find_machine(v);
      if (!o.machine) return usage("unknown machine (quorix machines lists them)", v);
    } else if (a == "--rate") {
      if (!parse_number(v, &n) || n < min_rate || n > max_rate)
        return usage("--rate must be a number from 1000 to 200000 Hz", v);
      o.rate = n;
    } else if (a == "--eprom" || a == "--chips") {
      const Eprom* e = find_eprom(v);
      if (!e) return usage("unknown EPROM (2716, 2732, 2764, 27128, 27256 or 27512)", v);
      (a == "--eprom" ? o.region : o.chip) = e->bytes;
    } else if (a == "--size") {
      if (!parse_whole(v, min_region, max_region, &n))
        return usage("--size must be a whole number of bytes from 2 to 16777216", v);
      o.region = (uint32_t)n;
    } else if (a == "--channel") {
      if (!parse_whole(v, 1, 1 << 20, &n)) return usage("--channel must be a channel number from 1", v);
      o.channel = (int)n;
    } else if (a == "--gain") {
      if (!parse_number(v, &n) || fabs(n) > max_gain_db)
        return usage("--gain must be a number of dB from -120 to 120", v);
      o.normalize = false;
      o.gain_db = n;
    } else if (a == "--fade") {
      if (!parse_number(v, &n) || n < 0 || n > max_fade_ms)
        return usage("--fade must be a number of milliseconds from 0 to 10000", v);
      o.fade_ms = n;
    } else if (a == "--code") {
      if (!parse_code(v, &o.code)) return usage("unknown code (u255, linear or linear-inverted)", v);
      o.code_given = true;
    } else if (a == "--encoder") {
      if (value == "dac")
        o.encoder = Encoder::dac;
      else if (value == "curve")
        o.encoder = Encoder::curve;
      else
        return usage("unknown encoder (dac or curve)", v);
    } else {  // --preview
      if (value.empty() || value == "-") return usage("--preview needs a file name", v);
      preview = value;
    }
  }
  if (names.size() < 2) return usage("INPUT and OUTPUT are both needed");
  if (names.size() > 2) return usage("too many file names", names[2].c_str());
  const std::string& input = names[0];
  const std::string& output = names[1];
  // The report is on standard output: an image there would be mixed into it.
  if (output == "-") return usage("OUTPUT cannot be standard output; name a file or a device");
  if (output.empty()) return usage("OUTPUT is an empty name");

  VoiceSettings settings;
  std::string why = resolve_options(o, &settings);
  if (!why.empty()) return usage(why.c_str());

  std::vector<OutputFile> files;
  if (settings.files > 1)
    for (uint32_t c = 1; c <= settings.files; c++) files.push_back({chip_name(output, c), {}});
  else
    files.push_back({output, {}});
  if (!preview.empty()) files.push_back({preview, {}});
  for (size_t i = 0; i < files.size(); i++) {
    for (size_t j = 0; j < i; j++)
      if (files[i].path == files[j].path) return usage("two outputs of the same name", files[i].path.c_str());
    if (same_file(input, files[i].path) || files[i].path == input) {
      fprintf(stderr, "quorix prepare: %s is the input file; it is never written\n", files[i].path.c_str());
      return EXIT_FAILED;
    }
  }

  std::string error;
  bool cannot_open = false;
  AudioFilePtr file = open_audio(input, &error, &cannot_open);
  if (!quiet) printf("Input: %s\n", shown(input).c_str());
  if (!file) {
    fflush(stdout);
    fprintf(stderr, "quorix prepare: %s%s\n", cannot_open ? "" : "not a sound file we read: ", error.c_str());
    return cannot_open ? EXIT_FAILED : EXIT_BAD_INPUT;
  }
  PreparedVoice voice = prepare_voice(*file, o);
  file.reset();  // the rest of a pipe is not read
  if (!quiet)
    for (const std::string& line : voice.report) puts(line.c_str());
  fflush(stdout);
  if (voice.outcome != PrepareOutcome::finished) {
    fprintf(stderr, "quorix prepare: %s\n", voice.error.c_str());
    return voice.outcome == PrepareOutcome::bad_input ? EXIT_BAD_INPUT : EXIT_FAILED;
  }

  for (size_t i = 0; i < voice.files.size(); i++) files[i].bytes = std::move(voice.files[i]);
  // The preview's header holds whole hertz.
  const int preview_rate = (int)llround(settings.rate);
  if (!preview.empty() &&
      !encode_wav(voice.preview.data(), voice.preview.size(), preview_rate, WavSamples::pcm16,
                  &files.back().bytes, &error)) {
    fprintf(stderr, "quorix prepare: cannot make the preview: %s\n", error.c_str());
    return EXIT_FAILED;
  }
  if (!write_outputs(files, &error)) {
    fprintf(stderr, "quorix prepare: %s; nothing was written\n", error.c_str());
    return EXIT_FAILED;
  }
  if (!quiet) {
    for (size_t i = 0; i < voice.files.size(); i++) {
      if (settings.files > 1)
        printf("Output: %s (chip %zu of %u, addresses 0x%04zX-0x%04zX)\n", files[i].path.c_str(), i + 1,
               settings.files, i * settings.chip, (i + 1) * settings.chip - 1);
      else
        printf("Output: %s\n", files[i].path.c_str());
    }
    if (!preview.empty())
      printf("Preview: %s (%zu samples, 16-bit, %d Hz)\n", preview.c_str(), voice.preview.size(), preview_rate);
    puts("Finished.");
  }
  return EXIT_FINISHED;
}

const Command prepare_command = {
    "prepare",
    "quorix prepare [options] INPUT OUTPUT\n",
    "Turns a sound file into the EPROM image a drum machine's voice card plays:\n"
    "one channel, resampled to the card's clock, levelled, fitted to the region\n"
    "(the zero code first, the sound from byte 1, zero codes after it) and\n"
    "encoded for the card's DAC. INPUT may be - (standard input, a pipe too);\n"
    "WAV of any sample format, AIFF, FLAC, Ogg Vorbis, W64, RF64 and CAF are read.\n"
    "The report goes to standard output, one fact a line, ending in Finished.\n"
    "\n"
    "Options (one given twice: the last counts):\n"
    "  --machine NAME     the card (default dmx; quorix machines lists them)\n"
    "  --rate HZ          the card's clock, 1000 to 200000 (default: the machine's)\n"
    "  --eprom TYPE       the region is one EPROM: 2716 ... 27512 (default: the machine's)\n"
    "  --size BYTES       the region in bytes, 2 to 16777216 (default: the machine's)\n"
    "  --chips TYPE       files of this EPROM's size, OUT-1.bin, ... (default: the machine's)\n"
    "  --channel N        take channel N, 1-based (default: the average of all)\n"
    "  --gain DB          a fixed gain, -120 to 120, clips counted (default: normalize)\n"
    "  --fade MS          fade-out of a cut sound, 0 to 10000 ms (default 20)\n"
    "  --no-cut           refuse a sound longer than the region (default: cut it)\n"
    "  --no-pad           write only the used bytes (default: pad with zero codes)\n"
    "  --trim             drop leading silence below -60 dBFS (default: keep it)\n"
    "  --code CODE        u255, linear or linear-inverted (default: the machine's)\n"
    "  --encoder KIND     dac or curve (the wav2dmx curve), u255 only (default dac)\n"
    "  --preview FILE     also write what the card plays, 16-bit WAV (default: none)\n"
    "  --quiet            print nothing but errors (default: the report)\n"
    "  --help             this text\n"
    "\n"
    "Exit status: 0 finished, 1 could not start or could not write every file\n"
    "whole (nothing is then changed), 2 the input is not usable audio or does not\n"
    "fit with --no-cut, 64 usage error (a one-line reason on standard error).\n",
    run_prepare,
};
