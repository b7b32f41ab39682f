// `quorix prepare`'s options read into what the voice steps take, apart from
// the files: what the browser page calls too, with the same arguments.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "voice/prepare.h"

struct PrepareRequest {
  PrepareOptions options;
  VoiceSettings settings;  // the options with the machine's values filled in
  std::string input, output, preview;  // preview empty: none
  bool quiet = false;
};

extern const OptionSpec prepare_options[];

// The request of `args` (parsed against prepare_options), or false with
// the one-line reason of a usage error. With `need_files` false the file
// names are not asked for (the page has its bytes in memory).
bool prepare_request(const ParsedArgs& args, bool need_files, PrepareRequest* request, std::string* why);

// The names of the files a prepared region goes into: OUTPUT, or for a
// region split over chips OUTPUT-1.bin, OUTPUT-2.bin, ...
std::vector<std::string> chip_file_names(const std::string& output, const VoiceSettings& settings);
