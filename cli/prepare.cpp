// quorix prepare: from any sound file to the EPROM image a drum machine's
// voice card plays. This file reads the options and writes the files; the
// work itself is the steps of voice/prepare.h.
#include "cli/prepare.h"

#include <math.h>
#include <stdio.h>

#include "cli/command.h"
#include "cli/output.h"
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
    {"code", "CODE", "u255, linear or linear-inverted (default: the machine's)"},
    {"encoder", "KIND", "dac or curve (the wav2dmx curve), u255 only (default dac)"},
    {"preview", "FILE", "also write what the card plays, 16-bit WAV (default: none)"},
    {"quiet", nullptr, "print nothing but errors (default: the report)"},
    {nullptr, nullptr, nullptr},
};

bool prepare_request(const ParsedArgs& args, bool need_files, PrepareRequest* r, std::string* why) {
  PrepareOptions& o = r->options;
  double n;
  if (const std::string* v = args.last("machine")) {
    o.machine = find_machine(v->c_str());
    if (!o.machine) return *why = "unknown machine (quorix machines lists them): " + *v, false;
  }
  if (!number_option(args, "rate", rate_range, &o.rate, why)) return false;
  // --eprom and --size both set the region: the one given last counts.
  for (const ParsedArgs::Given& g : args.options) {
    std::string name = g.spec->name;
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
    if (!parse_code(v->c_str(), &o.code)) return *why = "unknown code (u255, linear or linear-inverted): " + *v, false;
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
  *why = resolve_options(o, &r->settings);
  if (!why->empty()) return false;
  if (!need_files) return true;
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
  if (!prepare_request(args, true, &r, &why)) return say(prepare_command, Outcome::usage, why);
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
    for (size_t i = 0; i + (r.preview.empty() ? 0 : 1) < files.size(); i++) {
      if (s.files > 1)
        printf("Output: %s (chip %zu of %u, addresses 0x%04zX-0x%04zX)\n", files[i].path.c_str(), i + 1, s.files,
               i * s.chip, (i + 1) * s.chip - 1);
      else
        printf("Output: %s\n", files[i].path.c_str());
    }
    if (!r.preview.empty())
      printf("Preview: %s (%zu samples, 16-bit, %d Hz)\n", r.preview.c_str(), voice.preview.size(), preview_rate);
    puts("Finished.");
  }
  return Outcome::finished;
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
