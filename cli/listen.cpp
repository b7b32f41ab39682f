// quorix listen: an EPROM image as the card plays it, into a WAV file any
// player or editor opens.
#include "inspect/listen.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/inspect_options.h"
#include "inspect/image.h"
#include "inspect/inspect.h"
#include "cli/module.h"
#include "inspect/source.h"
#include "voice/audio.h"
#include "voice/output.h"
#include "voice/resample.h"

static int bad_input(const char* name, const std::string& reason) {
  fprintf(stderr, "quorix listen: %s: %s\n", name, reason.c_str());
  return EXIT_BAD_INPUT;
}

static int failed(const char* name, const std::string& reason) {
  fprintf(stderr, "quorix listen: %s: %s\n", name, reason.c_str());
  return EXIT_FAILED;
}

static int run_listen(int argc, char** argv) {
  const Machine* machine = default_machine();
  double rate = 0, out_rate = 0;
  SampleCode code = SampleCode::u255;
  bool code_given = false, curve = false, as_float = false;
  int region = 0;
  const char* plot = nullptr;
  PlotSize plot_size;
  std::vector<const char*> files;
  bool options_done = false;
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (options_done || a[0] != '-' || a[1] != '-') {
      if (files.size() == 2) return command_usage_error(listen_command, "too many file names", a);
      files.push_back(a);
    } else if (strcmp(a, "--") == 0) {
      options_done = true;
    } else if (strcmp(a, "--curve") == 0) {
      curve = true;
    } else if (strcmp(a, "--float") == 0) {
      as_float = true;
    } else if (strcmp(a, "--machine") == 0 || strcmp(a, "--rate") == 0 || strcmp(a, "--code") == 0 ||
               strcmp(a, "--region") == 0 || strcmp(a, "--out-rate") == 0 || strcmp(a, "--plot") == 0 ||
               strcmp(a, "--plot-size") == 0) {
      if (!value) return command_usage_error(listen_command, "needs a value", a);
      i++;
      if (strcmp(a, "--machine") == 0) {
        machine = find_machine(value);
        if (!machine)
          return command_usage_error(listen_command, "unknown machine (see quorix machines)", value);
      } else if (strcmp(a, "--rate") == 0) {
        if (!parse_hz(value, false, &rate))
          return command_usage_error(listen_command, "--rate needs a number from 1000 to 200000 Hz", value);
      } else if (strcmp(a, "--code") == 0) {
        if (!parse_code(value, &code))
          return command_usage_error(listen_command, "--code takes u255, linear or linear-inverted", value);
        code_given = true;
      } else if (strcmp(a, "--region") == 0) {
        if (!parse_count(value, &region))
          return command_usage_error(listen_command, "--region needs a region number from 1", value);
      } else if (strcmp(a, "--out-rate") == 0) {
        if (!parse_hz(value, true, &out_rate))
          return command_usage_error(listen_command, "--out-rate needs a whole number from 1000 to 200000 Hz",
                                     value);
      } else if (strcmp(a, "--plot") == 0) {
        plot = value;
      } else if (!parse_plot_size(value, &plot_size)) {
        return command_usage_error(listen_command, "--plot-size needs WIDTHxHEIGHT, 320x200 to 10000x4000",
                                   value);
      }
    } else {
      return command_usage_error(listen_command, "unknown option", a);
    }
  }
  if (files.size() < 2) return command_usage_error(listen_command, "IMAGE and OUTPUT.wav are both needed");
  const char* image_name = files[0];
  const char* output = files[1];
  if (!code_given) code = machine->code;
  if (rate == 0) rate = machine->rate;
  if (curve && code != SampleCode::u255)
    return command_usage_error(listen_command, "--curve decodes u255 only, not", code_name(code));
  if (same_file(image_name, output) || (plot && same_file(image_name, plot)))
    return failed(output, "is the image itself; choose another name");

  SourceFile source;
  std::string error;
  if (!read_source(image_name, largest_eprom, &source, &error)) return bad_input(image_name, error);
  error = why_not_an_image(source.head.data(), source.head.size(), source.size);
  if (!error.empty()) return bad_input(image_name, error);

  ListenOptions listen;
  listen.code = code;
  listen.curve = curve;
  listen.rate = rate;
  listen.region = machine->region;
  listen.only_region = region;
  std::vector<float> samples;
  if (!render_regions(source.head.data(), source.head.size(), listen, &samples, &error))
    return bad_input(image_name, error);

  // A WAV file's rate is a whole number: a fractional clock is resampled
  // to the nearest one rather than written at a slightly wrong pitch.
  if (out_rate == 0) out_rate = round(rate);
  std::vector<float> resampled;
  if (out_rate != rate) {
    if (!resample_all(samples.data(), samples.size(), rate, out_rate, &resampled, &error))
      return failed(output, "cannot resample: " + error);
    samples.swap(resampled);
  }
  std::vector<uint8_t> wav;
  if (!encode_wav(samples.data(), samples.size(), (int)out_rate,
                  as_float ? WavSamples::float32 : WavSamples::pcm16, &wav, &error) ||
      !write_output(output, wav.data(), wav.size(), &error))
    return failed(output, error);

  // With the WAV file on standard output, the summary goes to standard
  // error, out of its way.
  FILE* report = strcmp(output, "-") == 0 ? stderr : stdout;
  size_t regions = split_regions(source.head.size(), machine->region).size();
  fprintf(report, "Image: %s, %zu bytes, %zu region%s of %u bytes for %s\n", image_name, source.head.size(),
          regions, regions == 1 ? "" : "s", machine->region, machine->name);
  fprintf(report, "Played: %s, bytes 1 to the end of %s, %d ms of silence after each\n",
          region ? ("region " + std::to_string(region)).c_str() : "every region", region ? "it" : "each",
          (int)listen_gap_ms);
  fprintf(report, "Decoded: %s %s at %g Hz\n", code_name(code),
          curve                      ? "along the continuous curve"
          : code == SampleCode::u255 ? "through the AM6070's levels"
                                     : "linearly",
          rate);
  if (out_rate != rate) fprintf(report, "Resampled: %g Hz to %g Hz\n", rate, out_rate);
  fprintf(report, "Output: %s, %zu frames (%.3f s) at %g Hz, %s\n", output, samples.size(),
          samples.size() / out_rate, out_rate, as_float ? "32-bit float" : "16-bit");

  if (plot) {
    ImageOptions image;
    image.machine = machine;
    image.rate = rate;
    image.code = code;
    image.code_given = true;
    ImageFacts facts = analyse_image(source.head.data(), source.head.size(), image);
    std::vector<uint8_t> png;
    char why[512];
    const Plotter* draw = plotter(why, sizeof why);
    if (!draw) error = why;
    if (!draw || !draw->image(image_name, source.head.data(), facts, plot_size, &png, &error) ||
        !write_output(plot, png.data(), png.size(), &error)) {
      fflush(report);
      return failed(plot, error);
    }
    fprintf(report, "Picture: %s\n", plot);
  }
  return fflush(report) == 0 ? EXIT_FINISHED : EXIT_FAILED;
}

const Command listen_command = {
    "listen",
    "quorix listen [--machine NAME] [--rate HZ] [--code CODE] [--curve]\n"
    "                     [--region N] [--out-rate HZ] [--float]\n"
    "                     [--plot FILE.png] [--plot-size WxH] IMAGE OUTPUT.wav\n",
    "Writes what the card plays from an EPROM image as a mono WAV file: each\n"
    "region from its second byte to its end (the DAC holds the first byte\n"
    "while idle and never plays it), decoded through the card's DAC, each\n"
    "followed by 100 ms of silence.\n"
    "\n"
    "  --machine NAME    the machine the image is for (default dmx; see\n"
    "                    quorix machines): its code, clock and region size\n"
    "  --rate HZ         the card's clock, 1000 to 200000 (default the machine's)\n"
    "  --code CODE       u255, linear or linear-inverted (default the machine's)\n"
    "  --curve           decode u255 along the continuous curve of dmx2wav\n"
    "                    instead of the DAC's levels\n"
    "  --region N        play region N only (1 is the first); default every\n"
    "                    region in address order\n"
    "  --out-rate HZ     resample the result to HZ, a whole number such as 48000\n"
    "                    (default the card's clock)\n"
    "  --float           32-bit float samples instead of 16-bit\n"
    "  --plot FILE.png   also draw the image's waveform\n"
    "  --plot-size WxH   the picture's size in pixels (default 1000x360)\n"
    "\n"
    "The WAV file is written whole or not at all. Exit status: 0 written;\n"
    "1 the output could not be written; 2 the image is not usable (the reason\n"
    "is on stderr); 64 usage error.\n",
    run_listen,
};
