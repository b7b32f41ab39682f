// The page's engine: the converter's parser, steps and tables compiled to
// WebAssembly, over bytes the page holds in memory.
//   prepare  the converter's argument list read by prepare's own request
//            function, the voice prepared from memory, its report lines;
//   info, listen
//            the commands themselves, run over the module's in-memory
//            folder with their own option tables, so their JSON line, WAV
//            file and exit status are the converter's;
//   a sound's samples, for the page to draw and play.
// Each call returns a result the page reads and then frees: nothing is kept
// between calls.
#include <emscripten/emscripten.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/inspect_options.h"
#include "cli/options.h"
#include "cli/prepare.h"
#include "voice/audio.h"
#include "voice/machine.h"
#include "voice/machine_table.h"
#include "voice/prepare.h"

using nlohmann::json;

// What a call hands to JavaScript: facts as JSON, files and samples as
// bytes it copies out before freeing the whole.
struct WebResult {
  std::string facts;
  std::vector<std::vector<uint8_t>> files;
  std::vector<float> samples;
};

static std::vector<std::string> arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

static WebResult* finish(WebResult* r, const json& facts) {
  r->facts = facts.dump();
  return r;
}

// The options of a command's table, each with its help as the command's help
// gives it ("%R" in it stands for the option's limits).
static json option_list(const OptionSpec* table) {
  json list = json::array();
  for (const OptionSpec* o = table; o->name; o++) {
    list.push_back({{"name", o->name}, {"value", o->value ? o->value : ""}, {"help", option_help(*o)}});
  }
  return list;
}

// The options info and listen share.
static const OptionSpec inspect_options[] = {QUORIX_INSPECT_OPTIONS, {nullptr, nullptr, nullptr}};

extern "C" {

// The machine table, the EPROMs, the codes and the limits, defaults and
// help of prepare's options (and of the options info and listen share), so that the page offers what the converter
// accepts.
EMSCRIPTEN_KEEPALIVE WebResult* qx_tables() {
  json t;
  t["machines"] = json::array();
  for (const Machine& m : voice_machines())
    t["machines"].push_back({{"name", m.name},
                             {"description", m.description},
                             {"code", code_name(m.code)},
                             {"rate", m.rate},
                             {"region", m.region},
                             {"chip", m.chip},
                             {"default", &m == default_machine()}});
  // Every machine of the built-in table with its sounds, whole ROMs too.
  t["roms"] = json::array();
  for (const MachineDef& m : builtin_machines().machines) {
    json sounds = json::array();
    for (const SoundDef& s : m.sounds) sounds.push_back(s.name);
    t["roms"].push_back({{"name", m.name}, {"description", m.description}, {"sounds", sounds}});
  }
  t["eproms"] = json::array();
  for (size_t i = 0; i < eprom_count; i++) t["eproms"].push_back({{"name", eproms[i].name}, {"bytes", eproms[i].bytes}});
  t["codes"] = json::array();
  for (SampleCode c : {SampleCode::u255, SampleCode::linear, SampleCode::linear_inverted, SampleCode::signed_linear,
                       SampleCode::linear_top6})
    t["codes"].push_back(code_name(c));
  // The words prepare's --encoder takes, Encoder::dac first.
  t["encoders"] = {"dac", "curve"};
  auto range = [](const Range& r) { return json{{"min", r.lo}, {"max", r.hi}, {"whole", r.whole}, {"text", range_text(r)}}; };
  t["limits"] = {{"rate", range(rate_range)},   {"size", range(region_range)}, {"channel", range(channel_range)},
                 {"gain", range(gain_range)},   {"fade", range(fade_range)}};
  const PrepareOptions defaults;
  t["defaults"] = {{"fade", defaults.fade_ms}, {"encoder", "dac"}};
  t["options"] = option_list(prepare_options);
  t["inspect_options"] = option_list(inspect_options);
  t["help"] = command_help(prepare_command);
  return finish(new WebResult, t);
}

// prepare: `argv` is the converter's options (no file names), `name` the
// sample's file name, `output` the image's. Facts: status (the converter's
// exit status), error (its one line), report (its lines), files (their
// names), rate (the card's clock), kept (sound samples in the region) and
// trimmed (the sample's frames of leading silence dropped);
// the files in address order, and what the card plays, at `rate`.
EMSCRIPTEN_KEEPALIVE WebResult* qx_prepare(int argc, char** argv, const char* name, const char* output,
                                           const uint8_t* data, size_t size) {
  WebResult* r = new WebResult;
  json facts = {{"status", 0}, {"error", ""}, {"report", json::array()}, {"files", json::array()}};
  auto fail = [&](Outcome outcome, const std::string& why) {
    facts["status"] = exit_status(outcome);
    facts["error"] = why;
    return finish(r, facts);
  };
  ParsedArgs args;
  PrepareRequest request;
  std::string why;
  if (!parse_args(prepare_options, arguments(argc, argv), &args, &why)) return fail(Outcome::usage, why);
  if (!prepare_request(args, false, &request, &why))
    return fail(request.table_unreadable ? Outcome::cannot_read : Outcome::usage, why);
  // A sound placed in a whole ROM reads and writes its files itself: the
  // page runs the command over its in-memory folder instead.
  if (request.in_rom) return finish(r, {{"in_rom", true}});
  std::vector<std::string> report;
  if (!request.quiet) report.push_back(std::string("Input: ") + name);
  AudioFilePtr file = open_audio_memory(data, size, &why);
  if (!file) {
    facts["report"] = report;
    return fail(Outcome::unusable, "not a sound file we read: " + why);
  }
  PreparedVoice voice = prepare_voice(*file, request.options, request.settings);
  if (!request.quiet)
    for (const std::string& line : prepare_report(voice, request.options)) report.push_back(line);
  facts["report"] = report;
  if (voice.outcome != PrepareOutcome::finished)
    return fail(voice.outcome == PrepareOutcome::bad_input ? Outcome::unusable : Outcome::failed, voice.error);
  std::vector<std::string> names = chip_file_names(output, request.settings);
  if (!request.quiet)
    for (const std::string& line : prepare_output_lines(names, request.settings)) report.push_back(line);
  facts["report"] = report;
  facts["files"] = names;
  facts["rate"] = request.settings.rate;
  facts["kept"] = voice.kept;
  facts["trimmed"] = voice.trimmed;
  r->files = std::move(voice.files);
  r->samples = std::move(voice.preview);
  return finish(r, facts);
}

// Runs `prepare`, `info` or `listen` with the converter's argument list (argv[0] the
// command's name), in the module's current folder, where the page has put
// the files. Returns the exit status; the report and the one-line errors
// go to the module's standard output and error, which the page collects.
EMSCRIPTEN_KEEPALIVE int qx_run(int argc, char** argv) {
  for (const Command* c : {&prepare_command, &info_command, &listen_command}) {
    if (argc < 1 || strcmp(argv[0], c->name) != 0) continue;
    ParsedArgs args;
    std::string why;
    Outcome outcome = parse_args(c->options, arguments(argc - 1, argv + 1), &args, &why)
                          ? c->run(args)
                          : say(*c, Outcome::usage, why);
    fflush(stdout);
    fflush(stderr);
    return exit_status(outcome);
  }
  return exit_status(Outcome::usage);
}

// A sound file's bytes as one channel at its own rate (channel 0: the
// average of all), for the page to draw and play. Facts: rate, or error.
EMSCRIPTEN_KEEPALIVE WebResult* qx_read_sound(const uint8_t* data, size_t size, int channel) {
  WebResult* r = new WebResult;
  std::string error;
  AudioFilePtr file = open_audio_memory(data, size, &error);
  if (!file) return finish(r, {{"error", error}});
  const AudioFormat& f = audio_format(*file);
  if (channel > f.channels) channel = 0;
  std::vector<float> block(1 << 16);
  for (;;) {
    MonoRead got = read_mono(*file, channel, block.data(), (long)block.size());
    if (got.failed) return finish(r, {{"error", got.error}});
    if (got.frames == 0) break;
    r->samples.insert(r->samples.end(), block.begin(), block.begin() + got.frames);
  }
  return finish(r, {{"rate", f.rate}});
}

// Reading a result.
EMSCRIPTEN_KEEPALIVE const char* qx_facts(const WebResult* r) { return r->facts.c_str(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* qx_file(const WebResult* r, int i) { return r->files[i].data(); }
EMSCRIPTEN_KEEPALIVE size_t qx_file_size(const WebResult* r, int i) { return r->files[i].size(); }
EMSCRIPTEN_KEEPALIVE const float* qx_samples(const WebResult* r) { return r->samples.data(); }
EMSCRIPTEN_KEEPALIVE size_t qx_sample_count(const WebResult* r) { return r->samples.size(); }
EMSCRIPTEN_KEEPALIVE void qx_free(WebResult* r) { delete r; }

}  // extern "C"
