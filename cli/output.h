// Putting a run's files in place. An image that is half written, or of the
// wrong size, or one that replaced the sample it was made from, is worse
// than none: it gets burned into a chip. So every command hands its inputs
// and outputs to plan_outputs before it writes anything, and writes every
// output of the run through write_outputs.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

// Refuses, with a one-line reason, an output that is one of the inputs (the
// same file by identity: hard links, symbolic links, "./x" and "x", and on
// Windows case and short names), an output that is the same as another
// output, and an output that is a folder. "-" as an output is standard
// output, as an input standard input: the two never collide. Nothing is
// touched. True when the outputs can be written.
bool plan_outputs(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                  std::string* error);

struct OutputFile {
  std::string path;
  std::vector<uint8_t> bytes;
  // A temporary file beside `path` that already holds the output (made by
  // make_temporary and written by someone else); `bytes` is then unused.
  std::string written;
};

// The steps write_outputs takes on the file system; the system's own unless
// a test puts a failing one in.
struct OutputSteps {
  bool (*replaced_by_rename)(const std::string& path);
  bool (*write_temporary)(const std::string& path, const std::vector<uint8_t>& bytes, std::string* temp,
                          std::string* error);
  bool (*sync_file)(const std::string& path, std::string* error);
  bool (*write_in_place)(const std::string& path, const void* data, size_t size, std::string* error);
  bool (*keep_aside)(const std::string& path, std::string* aside, std::string* error);
  bool (*put_in_place)(const std::string& from, const std::string& to, std::string* error);
  void (*remove_file)(const std::string& path);
};
extern const OutputSteps system_output_steps;

// Writes a set of files that belong together (the chips of a region, an
// image and its preview, a WAV file and its picture), all or nothing:
//  1. every regular file (or a name that does not exist yet) is written to
//     a temporary file beside it and flushed to the disk;
//  2. every device, FIFO or "-" (standard output) of the set is written in
//     place: renaming over /dev/null or a programmer's pipe would replace it;
//  3. each existing regular file is kept aside under a second name (a hard
//     link, or a rename where the file system has none);
//  4. the temporary files are renamed over their targets, one after another;
//     if one rename fails, the files already replaced get their old contents
//     back from the names kept aside, and new names are removed again;
//  5. the names kept aside are removed.
// So when it returns false (with a one-line reason) no regular file of the
// set has changed. What it cannot promise: bytes already written to a
// device or FIFO in step 2 stay written; a crash or power loss during step 4
// may leave some targets replaced and the old files under their ".old-"
// names beside them; and should putting an old file back itself fail in
// step 4, the reason names the file and where its old contents are kept.
bool write_outputs(const std::vector<OutputFile>& files, std::string* error,
                   const OutputSteps& steps = system_output_steps);

// One file, as write_outputs writes a set.
bool write_output(const std::string& path, const void* data, size_t size, std::string* error);
