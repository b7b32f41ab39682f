// quorix listen: an EPROM image as the card plays it, into a WAV file any
// player or editor opens.
#include <math.h>
#include <stdio.h>

#include <algorithm>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/inspect_options.h"
#include "cli/module.h"
#include "cli/output.h"
#include "inspect/image.h"
#include "inspect/inspect.h"
#include "inspect/rom.h"
#include "platform/files.h"
#include "text/format.h"
#include "voice/audio.h"
#include "voice/layout.h"
#include "voice/prepare.h"
#include "voice/render.h"
#include "voice/resample.h"

static const Range region_number = {1, 1000000, true, ""};
static const Range out_rate_range = {rate_range.lo, rate_range.hi, true, "Hz"};

static const OptionSpec listen_options[] = {
    QUORIX_INSPECT_OPTIONS,
    {"curve", nullptr, "decode u255 along the continuous curve of dmx2wav\ninstead of the DAC's levels"},
    {"region", "N", "play region N only (1 is the first); default every\nregion in address order"},
    {"out-rate", "HZ", "resample the result to HZ, a whole number such as 48000\n(default the card's clock)"},
    {"float", nullptr, "32-bit float samples instead of 16-bit"},
    {nullptr, nullptr, nullptr},
};

// A whole ROM of a machine of several sounds: each sound from its place,
// de-interleaved, decoded through its own code and resampled from its own
// rate to one rate for the file.
static Outcome listen_rom(const InspectArgs& in, const std::string& image_name, const std::string& output,
                          std::vector<uint8_t> rom, double out_rate, bool as_float) {
  const Command& me = listen_command;
  std::string why;
  if (in.rate) return say(me, Outcome::usage, "each sound of " + in.rom_machine->name + " plays at its own rate; --rate is for one-voice images");
  if (in.pinout) {
    if (rom.size() != in.pinout->bytes)
      return say(me, Outcome::unusable, strprintf("%s: %zu bytes, pinout %s is for %u", image_name.c_str(), rom.size(),
                                                  in.pinout->name.c_str(), in.pinout->bytes));
    rom = from_eprom(rom, *in.pinout);
  }
  RomFacts facts;
  if (!rom_facts(*in.rom_machine, image_name, rom, in.sound, &facts, &why))
    return say(me, Outcome::unusable, image_name + ": " + why);
  if (facts.sounds.empty())
    return say(me, Outcome::unusable, image_name + ": rom " + facts.rom->name + " of " + in.rom_machine->name + " has no sound table");
  double top = 0;
  for (const RomSoundFacts& s : facts.sounds) top = std::max(top, s.sound->rate);
  if (out_rate == 0) out_rate = round(top);
  std::vector<float> samples;
  if (!render_rom_sounds(rom, facts, out_rate, listen_gap_ms, &samples, &why))
    return say(me, Outcome::failed, "cannot resample: " + why);
  std::vector<OutputFile> files = {{output, {}, {}}};
  if (!encode_wav(samples.data(), samples.size(), (int)out_rate, as_float ? WavSamples::float32 : WavSamples::pcm16,
                  &files[0].bytes, &why))
    return say(me, Outcome::failed, why);
  if (!in.plot.empty()) {
    files.push_back({in.plot, {}, {}});
    char error[512];
    const Plotter* draw = plotter(error, sizeof error);
    if (!draw) return say(me, Outcome::failed, in.plot + ": " + error);
    const std::string title = image_name + ": rom " + facts.rom->name + " of " + in.rom_machine->name;
    if (!draw->rom(title, samples, out_rate, rom_plot_spans(facts, out_rate, listen_gap_ms), in.plot_size,
                   &files.back().bytes, &why))
      return say(me, Outcome::failed, in.plot + ": " + why);
  }
  if (!write_outputs(files, &why)) return say(me, Outcome::cannot_write, why + "; nothing was written");
  FILE* report = output == "-" ? stderr : stdout;
  fprintf(report, "Image: %s, %zu bytes, rom %s of %s (chosen by %s)%s\n", image_name.c_str(), rom.size(),
          facts.rom->name.c_str(), in.rom_machine->name.c_str(), facts.chosen_by.c_str(),
          in.pinout ? (", read through pinout " + in.pinout->name + " (" + in.pinout->sure + ")").c_str() : "");
  std::string played;
  for (const RomSoundFacts& s : facts.sounds)
    played += (played.empty() ? "" : ", ") + s.sound->name + strprintf(" (%s, %g Hz)", code_name(s.sound->code), s.sound->rate);
  fprintf(report, "Played: %s; each from its place, %d ms of silence after each\n", played.c_str(), (int)listen_gap_ms);
  fprintf(report, "Output: %s, %zu frames (%.3f s) at %g Hz, %s\n", output.c_str(), samples.size(),
          samples.size() / out_rate, out_rate, as_float ? "32-bit float" : "16-bit");
  if (report == stderr) fflush(stderr);
  return Outcome::finished;
}

static Outcome run_listen(const ParsedArgs& args) {
  const Command& me = listen_command;
  InspectArgs in;
  std::string why;
  double region = 0, out_rate = 0;
  if (!inspect_args(args, &in, &why) || !number_option(args, "region", region_number, &region, &why) ||
      !number_option(args, "out-rate", out_rate_range, &out_rate, &why))
    return say(me, in.table_unreadable ? Outcome::cannot_read : Outcome::usage, why);
  const bool curve = args.has("curve"), as_float = args.has("float");
  if (args.names.size() < 2) return say(me, Outcome::usage, "IMAGE and OUTPUT.wav are both needed");
  if (args.names.size() > 2) return say(me, Outcome::usage, "too many file names: " + args.names[2]);
  const std::string &image_name = args.names[0], &output = args.names[1];
  if (curve && in.code_given && in.code != SampleCode::u255)
    return say(me, Outcome::usage, std::string("--curve decodes u255 only, not ") + code_name(in.code));
  std::vector<std::string> outputs = {output};
  if (!in.plot.empty()) outputs.push_back(in.plot);
  if (!plan_outputs({image_name}, outputs, &why)) return say(me, Outcome::cannot_write, why);

  FileHead source;
  if (!read_head(image_name, largest_eprom, &source, &why)) return say(me, Outcome::cannot_read, image_name + ": " + why);
  FileClass c = classify_file(source.head.data(), source.head.size(), source.size);
  if (c.kind == FileKind::sound) return say(me, Outcome::unusable, image_name + ": a sound file (" + c.error + "), not an EPROM image");
  if (c.kind != FileKind::image) return say(me, Outcome::unusable, image_name + ": " + c.error);
  // Without --machine, a factory chip is played on its own card.
  const Machine* machine =
      in.machine ? in.machine : analyse_image(source.head.data(), source.head.size(), ImageOptions()).machine;
  const SampleCode code = in.code_given ? in.code : machine->code;
  const double rate = in.rate ? in.rate : machine->rate;
  if (curve && code != SampleCode::u255)
    return say(me, Outcome::usage, std::string("--curve decodes u255 only, not ") + code_name(code));

  if (in.rom_machine) return listen_rom(in, image_name, output, source.head, out_rate, as_float);

  ListenOptions listen;
  listen.code = code;
  listen.curve = curve;
  listen.rate = rate;
  listen.region = machine->region;
  listen.only_region = (int)region;
  std::vector<float> samples;
  if (!render_regions(source.head.data(), source.head.size(), listen, &samples, &why))
    return say(me, Outcome::unusable, image_name + ": " + why);

  // A WAV file's rate is a whole number: a fractional clock is resampled
  // to the nearest one rather than written at a slightly wrong pitch.
  if (out_rate == 0) out_rate = round(rate);
  if (out_rate != rate) {
    std::vector<float> resampled;
    if (!resample_all(samples.data(), samples.size(), rate, out_rate, &resampled, &why))
      return say(me, Outcome::failed, "cannot resample: " + why);
    samples.swap(resampled);
  }
  std::vector<OutputFile> files = {{output, {}, {}}};
  if (!encode_wav(samples.data(), samples.size(), (int)out_rate, as_float ? WavSamples::float32 : WavSamples::pcm16,
                  &files[0].bytes, &why))
    return say(me, Outcome::failed, why);
  if (!in.plot.empty()) {
    ImageOptions image;
    image.machine = machine;
    image.rate = rate;
    image.code = code;
    image.code_given = true;
    ImageFacts facts = analyse_image(source.head.data(), source.head.size(), image);
    files.push_back({in.plot, {}, {}});
    char error[512];
    const Plotter* draw = plotter(error, sizeof error);
    if (!draw) return say(me, Outcome::failed, in.plot + ": " + error);
    if (!draw->image(image_name, source.head.data(), facts, in.plot_size, &files[1].bytes, &why))
      return say(me, Outcome::failed, in.plot + ": " + why);
  }
  if (!write_outputs(files, &why)) return say(me, Outcome::cannot_write, why + "; nothing was written");

  // With the WAV file on standard output, the summary goes to standard
  // error, out of its way.
  FILE* report = output == "-" ? stderr : stdout;
  size_t regions = split_regions(source.head.size(), machine->region).size();
  fprintf(report, "Image: %s, %zu bytes, %zu region%s of %u bytes for %s\n", image_name.c_str(),
          source.head.size(), regions, regions == 1 ? "" : "s", machine->region, machine->name);
  fprintf(report, "Played: %s, bytes 1 to the end of %s, %d ms of silence after each\n",
          region ? ("region " + std::to_string((int)region)).c_str() : "every region", region ? "it" : "each",
          (int)listen_gap_ms);
  fprintf(report, "Decoded: %s %s at %g Hz\n", code_name(code),
          curve                      ? "along the continuous curve"
          : code == SampleCode::u255 ? "through the AM6070's levels"
                                     : "linearly",
          rate);
  if (out_rate != rate) fprintf(report, "Resampled: %g Hz to %g Hz\n", rate, out_rate);
  fprintf(report, "Output: %s, %zu frames (%.3f s) at %g Hz, %s\n", output.c_str(), samples.size(),
          samples.size() / out_rate, out_rate, as_float ? "32-bit float" : "16-bit");
  if (!in.plot.empty()) fprintf(report, "Picture: %s\n", in.plot.c_str());
  if (report == stderr) fflush(stderr);
  return Outcome::finished;
}

const Command listen_command = {
    "listen",
    "IMAGE OUTPUT.wav",
    "Writes what the card plays from an EPROM image as a mono WAV file: each\n"
    "region from its second byte to its end (the DAC holds the first byte\n"
    "while idle and never plays it), decoded through the card's DAC, each\n"
    "followed by 100 ms of silence. OUTPUT.wav may be - (standard output; the\n"
    "summary then goes to standard error). The WAV file and the picture are\n"
    "written whole, or neither is changed.\n"
    "A ROM of a machine of several sounds (quorix machines: SOUNDS above 1) is\n"
    "played sound by sound: each from its place, de-interleaved, decoded through\n"
    "its own code and resampled from its own rate to the fastest one's.\n",
    listen_options,
    run_listen,
};
