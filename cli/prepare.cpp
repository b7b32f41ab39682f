// quorix prepare: from any sound file to the EPROM image a drum machine's
// voice card plays. This file reads the options and writes the files; the
// work itself is the steps of voice/prepare.h.
#include "cli/prepare.h"

#include <math.h>
#include <stdio.h>

#include <algorithm>

#include "cli/command.h"
#include "cli/machine_args.h"
#include "cli/output.h"
#include "text/format.h"
#include "text/format.h"
#include "voice/audio.h"

const OptionSpec prepare_options[] = {
    {"machine", "NAME", "the card (default dmx; quorix machines lists them)"},
    {"rate", "HZ", "the card's clock, %R (default: the machine's)", &rate_range},
    {"eprom", "TYPE", "the region is one EPROM: 2716 ... 27512 (default: the machine's)"},
    {"size", "BYTES", "the region, %R (default: the machine's)", &region_range},
    {"chips", "TYPE", "files of this EPROM's size, OUT-1.bin, ... (default: the machine's)"},
    {"channel", "N", "take channel N, 1-based (default: the average of all)", &channel_range},
    {"gain", "DB", "a fixed gain, %R, clips counted (default: normalize)", &gain_range},
    {"fade", "MS", "fade-out of a cut sound, %R (default 20)", &fade_range},
    {"no-cut", nullptr, "refuse a sound longer than the region (default: cut it)"},
    {"no-pad", nullptr, "write only the used bytes (default: pad with zero codes)"},
    {"trim", nullptr, "drop leading silence below -60 dBFS (default: keep it)"},
    {"code", "CODE", "u255, linear, linear-inverted, signed or linear-top6\n(default: the machine's)"},
    {"encoder", "KIND", "dac or curve (the wav2dmx curve), u255 only (default dac)"},
    {"preview", "FILE", "also write what the card plays, 16-bit WAV (default: none)"},
    {"quiet", nullptr, "print nothing but errors (default: the report)"},
    {"sound", "NAME", "the sound of a machine of several, written into its ROM\n(quorix machines --show NAME lists them)"},
    {"into", "ROM", "put the sound into this ROM image (a dump or an earlier run)\ninstead of a fresh one, every other byte kept; in place of OUTPUT"},
    {"at", "OFFSET", "the first byte of a range of the ROM, decimal or 0x hex,\nfor a machine without a sound table (the RZ-1); with --length"},
    {"length", "N", "the bytes of that range"},
    {"eprom-pinout", "NAME", "write the image an EPROM on adapter NAME needs (and read\n--into through it); tr707-27c256 is not verified on hardware"},
    QUORIX_MACHINES_OPTION,
    {nullptr, nullptr, nullptr},
};

static const Range offset_range = {0, 16 << 20, true, "bytes"};
static const Range length_range = {1, 16 << 20, true, "bytes"};

// The sound of the request in its ROM, from --sound or --at and --length;
// false with the reason.
static bool choose_sound(const ParsedArgs& args, PrepareRequest* r, std::string* why) {
  const MachineDef& m = *r->machine;
  if (args.has("at") != args.has("length")) return *why = "--at and --length go together", false;
  for (const char* one_voice : {"size", "eprom", "code", "no-pad"})
    if (args.has(one_voice))
      return *why = std::string("--") + one_voice + " is for a one-voice image; a sound of " + m.name +
                    " has its place and code in its ROM (quorix machines --show " + m.name + ")",
             false;
  if (args.has("at")) {
    if (args.has("sound")) return *why = "--sound or --at, not both", false;
    double at, length;
    if (!number_option(args, "at", offset_range, &at, why) || !number_option(args, "length", length_range, &length, why))
      return false;
    r->rom = &m.roms[0];
    if (at + length > r->rom->bytes)
      return *why = strprintf("--at 0x%X --length %.0f ends outside rom %s of %u bytes", (unsigned)at, length,
                              r->rom->name.c_str(), r->rom->bytes),
             false;
    r->sound = range_sound(m, *r->rom, (uint32_t)at, (uint32_t)length);
    return true;
  }
  const SoundDef* s = nullptr;
  if (const std::string* name = args.last("sound")) {
    s = find_sound(m, *name);
    if (!s) return *why = "machine " + m.name + " has no sound " + *name + " (" + sound_names(m) + ")", false;
  } else {
    s = default_sound(m);
    if (!s)
      return *why = m.sounds.empty() ? "machine " + m.name + " has no sound table: name a range with --at and --length"
                                     : "machine " + m.name + " has several sounds: name one with --sound (" +
                                           sound_names(m) + ")",
             false;
  }
  r->sound = *s;
  r->rom = find_rom(m, s->rom);
  return true;
}

// The request's machine and, for a sound in a ROM, its place; false with
// the reason.
static bool choose_machine(const ParsedArgs& args, PrepareRequest* r, std::string* why) {
  const std::string* name = args.last("machine");
  r->machine = name ? find_machine_def(r->table, *name) : &r->table.machines.front();
  if (!r->machine) return *why = "unknown machine (quorix machines lists them): " + *name, false;
  const Machine* voice = nullptr;
  for (const Machine& v : r->table.voices())
    if (r->machine->name == v.name) voice = &v;
  r->in_rom = !voice || args.has("sound") || args.has("at") || args.has("length") || args.has("into") ||
              args.has("eprom-pinout");
  if (!r->in_rom) {
    r->options.machine = voice;
    return true;
  }
  if (!choose_sound(args, r, why)) return false;
  if (const std::string* p = args.last("eprom-pinout")) {
    r->pinout = find_pinout(r->table, *p);
    if (!r->pinout) return *why = "unknown EPROM pinout: " + *p, false;
    const uint32_t copies = r->pinout->copies ? r->pinout->copies : 1;
    if (r->pinout->bytes != r->rom->bytes * copies)
      return *why = strprintf("pinout %s is for %u-byte images, rom %s has %u bytes", p->c_str(),
                              r->pinout->bytes / copies, r->rom->name.c_str(), r->rom->bytes),
             false;
  }
  r->view = sound_view(*r->machine, r->sound);
  r->options.machine = &r->view;
  return true;
}

bool prepare_request(const ParsedArgs& args, bool need_files, PrepareRequest* r, std::string* why) {
  PrepareOptions& o = r->options;
  double n;
  if (!machine_table_of(args, &r->table, why, &r->table_unreadable)) return false;
  if (!choose_machine(args, r, why)) return false;
  if (!number_option(args, "rate", rate_range, &o.rate, why)) return false;
  // --eprom and --size both set the region: the one given last counts.
  for (const ParsedArgs::Given& g : args.options) {
    std::string name = g.option->name;
    if (name == "eprom" || name == "chips") {
      const Eprom* e = find_eprom(g.value.c_str());
      if (!e) return *why = "unknown EPROM (2716, 2732, 2764, 27128, 27256 or 27512): " + g.value, false;
      (name == "eprom" ? o.region : o.chip) = e->bytes;
    } else if (name == "size") {
      ParsedArgs one;
      one.options.push_back(g);
      if (!number_option(one, "size", region_range, &n, why)) return false;
      o.region = (uint32_t)n;
    }
  }
  if (!number_option(args, "channel", channel_range, &n, why)) return false;
  if (args.has("channel")) o.channel = (int)n;
  if (args.has("gain")) {
    if (!number_option(args, "gain", gain_range, &o.gain_db, why)) return false;
    o.normalize = false;
  }
  if (!number_option(args, "fade", fade_range, &o.fade_ms, why)) return false;
  if (const std::string* v = args.last("code")) {
    if (!parse_code(v->c_str(), &o.code)) return *why = "unknown code (u255, linear, linear-inverted, signed or linear-top6): " + *v, false;
    o.code_given = true;
  }
  if (const std::string* v = args.last("encoder")) {
    if (*v != "dac" && *v != "curve") return *why = "unknown encoder (dac or curve): " + *v, false;
    o.encoder = *v == "dac" ? Encoder::dac : Encoder::curve;
  }
  o.cut = !args.has("no-cut");
  o.pad = !args.has("no-pad");
  o.trim = args.has("trim");
  r->quiet = args.has("quiet");
  if (const std::string* v = args.last("preview")) {
    if (v->empty() || *v == "-") return *why = "--preview needs a file name", false;
    r->preview = *v;
  }
  if (r->in_rom) {
    // --chips splits the ROM's image, not the sound's region.
    // --into rewrites the one image it reads, whole.
    if (args.has("into") && args.has("chips")) return *why = "--into rewrites one image; --chips splits a fresh one", false;
    r->rom_chip = args.has("into") ? 0 : o.chip ? o.chip : r->rom->chip;
    o.region = o.chip = 0;
    const uint32_t bytes = r->pinout ? r->pinout->bytes : r->rom->bytes;
    if (r->rom_chip >= bytes) r->rom_chip = 0;
    if (r->rom_chip && bytes % r->rom_chip)
      return *why = strprintf("rom %s of %u bytes is no whole number of %u-byte chips", r->rom->name.c_str(), bytes,
                              r->rom_chip),
             false;
  }
  *why = resolve_options(o, &r->settings);
  if (!why->empty()) return false;
  if (!need_files) return true;
  if (const std::string* v = args.last("into")) {
    if (v->empty() || *v == "-") return *why = "--into needs the name of a ROM image file", false;
    r->into = *v;
    if (args.names.size() < 1) return *why = "INPUT is needed", false;
    if (args.names.size() > 1) return *why = "--into ROM takes the place of OUTPUT: " + args.names[1], false;
    r->input = args.names[0];
    r->output = r->into;
    return true;
  }
  if (args.names.size() < 2) return *why = "INPUT and OUTPUT are both needed", false;
  if (args.names.size() > 2) return *why = "too many file names: " + args.names[2], false;
  r->input = args.names[0];
  r->output = args.names[1];
  // The report is on standard output: an image there would be mixed into it.
  if (r->output == "-") return *why = "OUTPUT cannot be standard output; name a file or a device", false;
  if (r->output.empty()) return *why = "OUTPUT is an empty name", false;
  return true;
}

// "kick.bin" and chip 2 give "kick-2.bin"; a name without an extension gets
// the number at its end. On Windows, "sets.v2\kick" and "D:kick" have no
// extension either.
std::vector<std::string> chip_file_names(const std::string& out, const VoiceSettings& s) {
  if (s.files <= 1) return {out};
  size_t slash = out.find_last_of("/\\:");
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = out.rfind('.');
  std::vector<std::string> names;
  for (uint32_t n = 1; n <= s.files; n++) {
    std::string number = "-" + std::to_string(n);
    names.push_back(dot == std::string::npos || dot <= base ? out + number
                                                            : out.substr(0, dot) + number + out.substr(dot));
  }
  return names;
}

static Outcome run_prepare(const ParsedArgs& args) {
  PrepareRequest r;
  std::string why;
  if (!prepare_request(args, true, &r, &why))
    return say(prepare_command, r.table_unreadable ? Outcome::cannot_read : Outcome::usage, why);
  if (r.in_rom) return prepare_in_rom(r);
  const VoiceSettings& s = r.settings;
  std::vector<std::string> names = chip_file_names(r.output, s);
  if (!r.preview.empty()) names.push_back(r.preview);
  if (!plan_outputs({r.input}, names, &why)) return say(prepare_command, Outcome::cannot_write, why);

  bool cannot_open = false;
  AudioFilePtr file = open_audio(r.input, &why, &cannot_open);
  if (!r.quiet) printf("Input: %s\n", r.input == "-" ? "standard input" : r.input.c_str());
  if (!file)
    return cannot_open ? say(prepare_command, Outcome::cannot_read, why)
                       : say(prepare_command, Outcome::unusable, "not a sound file we read: " + why);
  PreparedVoice voice = prepare_voice(*file, r.options, r.settings);
  file.reset();  // the rest of a pipe is not read
  if (!r.quiet)
    for (const std::string& line : prepare_report(voice, r.options)) puts(line.c_str());
  if (voice.outcome != PrepareOutcome::finished)
    return say(prepare_command, voice.outcome == PrepareOutcome::bad_input ? Outcome::unusable : Outcome::failed,
               voice.error);

  std::vector<OutputFile> files;
  for (size_t i = 0; i < voice.files.size(); i++) files.push_back({names[i], std::move(voice.files[i]), {}});
  // The preview's header holds whole hertz.
  const int preview_rate = (int)llround(s.rate);
  if (!r.preview.empty()) {
    files.push_back({r.preview, {}, {}});
    if (!encode_wav(voice.preview.data(), voice.preview.size(), preview_rate, WavSamples::pcm16,
                    &files.back().bytes, &why))
      return say(prepare_command, Outcome::failed, "cannot make the preview: " + why);
  }
  if (!write_outputs(files, &why)) return say(prepare_command, Outcome::cannot_write, why + "; nothing was written");
  if (!r.quiet) {
    names.resize(voice.files.size());
    for (const std::string& line : prepare_output_lines(names, s)) {
      if (line == "Finished." && !r.preview.empty())
        printf("Preview: %s (%zu samples, 16-bit, %d Hz)\n", r.preview.c_str(), voice.preview.size(), preview_rate);
      puts(line.c_str());
    }
  }
  return Outcome::finished;
}

std::vector<std::string> prepare_output_lines(const std::vector<std::string>& names, const VoiceSettings& s) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < names.size(); i++)
    lines.push_back(s.files > 1 ? strprintf("Output: %s (chip %zu of %u, addresses 0x%04zX-0x%04zX)",
                                            names[i].c_str(), i + 1, s.files, i * s.chip, (i + 1) * s.chip - 1)
                                : "Output: " + names[i]);
  lines.push_back("Finished.");
  return lines;
}

const Command prepare_command = {
    "prepare",
    "INPUT OUTPUT",
    "Turns a sound file into the EPROM image a drum machine's voice card plays:\n"
    "one channel, resampled to the card's clock, levelled, fitted to the region\n"
    "(the zero code first, the sound from byte 1, zero codes after it) and\n"
    "encoded for the card's DAC. INPUT may be - (standard input, a pipe too);\n"
    "WAV of any sample format, AIFF, FLAC, Ogg Vorbis, W64, RF64 and CAF are read.\n"
    "The report goes to standard output, one fact a line, ending in Finished.\n"
    "Every file is written whole, or none is changed.\n",
    prepare_options,
    run_prepare,
};
