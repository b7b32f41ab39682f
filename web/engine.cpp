// The page's engine: the converter's own commands and tables, compiled to
// WebAssembly. The page writes the dropped file into the module's in-memory
// file system and runs `prepare`, `info` or `listen` there with the
// converter's argument list, so the options are read by the converter's
// parser and the report, the files and the exit status are the converter's
// own. What the page draws and plays is read back through the engine's
// sound reader. Nothing here keeps state between calls.
#include <emscripten/emscripten.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command.h"
#include "voice/audio.h"
#include "voice/machine.h"
#include "voice/prepare.h"

// The calls below hand strings to JavaScript; each result lives until the
// next call that returns one (JavaScript copies it at once).
static const char* hand_over(std::string text) {
  static std::string held;
  held = std::move(text);
  return held.c_str();
}

extern "C" {

// The machine table, the EPROMs, the codes and the limits and defaults of
// prepare's options, so the page offers what the converter accepts.
EMSCRIPTEN_KEEPALIVE const char* qx_tables() {
  using nlohmann::json;
  json t;
  t["machines"] = json::array();
  for (size_t i = 0; i < machine_count; i++) {
    const Machine& m = machines[i];
    t["machines"].push_back({{"name", m.name},
                             {"description", m.description},
                             {"code", code_name(m.code)},
                             {"rate", m.rate},
                             {"region", m.region},
                             {"chip", m.chip},
                             {"default", &m == default_machine}});
  }
  t["eproms"] = json::array();
  for (size_t i = 0; i < eprom_count; i++) t["eproms"].push_back({{"name", eproms[i].name}, {"bytes", eproms[i].bytes}});
  t["codes"] = json::array();
  for (SampleCode c : {SampleCode::u255, SampleCode::linear, SampleCode::linear_inverted})
    t["codes"].push_back(code_name(c));
  // The words prepare's --encoder takes, in the order of the Encoder enum.
  t["encoders"] = {"dac", "curve"};
  const PrepareOptions defaults;
  t["limits"] = {{"rate", {min_rate, max_rate}},
                 {"size", {min_region, max_region}},
                 {"fade", {0, max_fade_ms}},
                 {"gain", {-max_gain_db, max_gain_db}}};
  t["defaults"] = {{"fade", defaults.fade_ms}, {"gain", defaults.gain_db}, {"encoder", "dac"}};
  t["help"] = {{"prepare", prepare_command.help}, {"info", info_command.help}, {"listen", listen_command.help}};
  return hand_over(t.dump());
}

// Runs one command of the converter (`prepare`, `info` or `listen`) with
// argv[0] its name, in the module's current folder. Its report and its
// one-line errors go to the module's standard output and error, which the
// page collects. Returns the exit status.
EMSCRIPTEN_KEEPALIVE int qx_run(int argc, char** argv) {
  const Command* commands[] = {&prepare_command, &info_command, &listen_command};
  int status = EXIT_USAGE;
  bool found = false;
  for (const Command* c : commands)
    if (argc > 0 && strcmp(argv[0], c->name) == 0) {
      status = c->run(argc, argv);
      found = true;
    }
  if (!found) fprintf(stderr, "quorix: unknown command %s\n", argc > 0 ? argv[0] : "");
  fflush(stdout);
  fflush(stderr);
  return status;
}

// A sound file of the in-memory file system as one channel of floats at its
// own rate (channel 0: the average of all), for the page to draw and play.
// Returns the number of frames (negative on failure, the reason on
// standard error); *samples is the engine's to free with qx_free.
EMSCRIPTEN_KEEPALIVE double qx_read_sound(const char* path, int channel, float** samples, int* rate) {
  std::string error;
  AudioFilePtr file = open_audio(path, &error);
  if (!file) {
    fprintf(stderr, "%s\n", error.c_str());
    return -1;
  }
  const AudioFormat& f = audio_format(*file);
  if (channel > f.channels) channel = 0;
  std::vector<float> all;
  std::vector<float> block(1 << 16);
  for (;;) {
    MonoRead r = read_mono(*file, channel, block.data(), (long)block.size());
    if (r.failed) {
      fprintf(stderr, "%s\n", r.error.c_str());
      return -1;
    }
    if (r.frames == 0) break;
    all.insert(all.end(), block.begin(), block.begin() + r.frames);
  }
  *rate = f.rate;
  *samples = (float*)malloc(all.size() * sizeof(float) + 1);
  if (!*samples) return -1;
  memcpy(*samples, all.data(), all.size() * sizeof(float));
  return (double)all.size();
}

EMSCRIPTEN_KEEPALIVE void qx_free(void* p) { free(p); }

}  // extern "C"
