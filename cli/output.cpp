#include "cli/output.h"

#include "platform/files.h"

// Two outputs are one file when they are the same existing file, or the
// same name in one folder that does not hold it yet.
static bool same_destination(const std::string& a, const std::string& b) {
  if (a == "-" || b == "-") return a == b;
  if (a == b || same_file(a, b)) return true;
  std::string fa, na, fb, nb;
  split_path(a, &fa, &na);
  split_path(b, &fb, &nb);
  return same_name(na, nb) && (fa == fb || same_file(fa, fb));
}

bool plan_outputs(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                  std::string* error) {
  for (size_t i = 0; i < outputs.size(); i++) {
    const std::string& out = outputs[i];
    if (out.empty()) {
      *error = "an output has an empty name";
      return false;
    }
    if (file_type(out) == FileType::folder) {
      *error = out + " is a folder; name a file";
      return false;
    }
    for (const std::string& in : inputs)
      if (out != "-" && (out == in || same_file(in, out))) {
        *error = out + " is the input " + in + "; an input is never written";
        return false;
      }
    for (size_t j = 0; j < i; j++)
      if (same_destination(outputs[j], out)) {
        *error = outputs[j] + " and " + out + " are the same file; give each output its own name";
        return false;
      }
  }
  return true;
}

const OutputSteps system_output_steps = {replaced_by_rename, write_temporary, sync_file, write_in_place,
                                         keep_aside,         put_in_place,    remove_file};

bool write_outputs(const std::vector<OutputFile>& files, std::string* error, const OutputSteps& steps) {
  const size_t n = files.size();
  std::vector<std::string> temps(n), asides(n);
  std::vector<bool> renamed(n, false);
  auto discard = [&] {
    for (size_t i = 0; i < n; i++)
      if (!temps[i].empty() && !renamed[i]) steps.remove_file(temps[i]);
  };
  // Every old file back under its name (a rename over a hard link of the
  // same file may leave the second name, hence the removal after it), and
  // a new name that had no old file removed again.
  auto put_back = [&] {
    for (size_t i = 0; i < n; i++) {
      if (!asides[i].empty()) {
        std::string ignored;
        if (steps.put_in_place(asides[i], files[i].path, &ignored))
          steps.remove_file(asides[i]);
        else
          *error += "; the old " + files[i].path + " is kept as " + asides[i];
      } else if (renamed[i]) {
        steps.remove_file(files[i].path);
      }
    }
  };

  for (size_t i = 0; i < n; i++) {
    const OutputFile& f = files[i];
    if (!f.written.empty()) {
      temps[i] = f.written;
      if (!steps.sync_file(f.written, error)) return discard(), false;
    } else if (steps.replaced_by_rename(f.path) && !steps.write_temporary(f.path, f.bytes, &temps[i], error)) {
      return discard(), false;
    }
  }
  for (size_t i = 0; i < n; i++)
    if (temps[i].empty() &&
        !steps.write_in_place(files[i].path, files[i].bytes.data(), files[i].bytes.size(), error))
      return discard(), false;
  for (size_t i = 0; i < n; i++)
    if (!temps[i].empty() && !steps.keep_aside(files[i].path, &asides[i], error))
      return put_back(), discard(), false;
  for (size_t i = 0; i < n; i++) {
    if (temps[i].empty()) continue;
    if (!steps.put_in_place(temps[i], files[i].path, error)) return put_back(), discard(), false;
    renamed[i] = true;
  }
  for (const std::string& a : asides)
    if (!a.empty()) steps.remove_file(a);
  return true;
}

bool write_output(const std::string& path, const void* data, size_t size, std::string* error) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return write_outputs({{path, std::vector<uint8_t>(p, p + size), {}}}, error);
}
