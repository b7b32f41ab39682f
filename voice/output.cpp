#include "voice/output.h"

#include "voice/output_system.h"

bool write_outputs(const std::vector<OutputFile>& files, std::string* error) {
  std::vector<std::string> temps(files.size());
  auto discard = [&temps] {
    for (const std::string& t : temps)
      if (!t.empty()) remove_temporary(t);
  };
  for (size_t i = 0; i < files.size(); i++) {
    if (!replaced_by_rename(files[i].path)) continue;
    if (!write_temporary(files[i].path, files[i].bytes, &temps[i], error)) {
      discard();
      return false;
    }
  }
  // Devices and FIFOs are written before anything is renamed, so a failure
  // there still leaves every regular file as it was.
  for (size_t i = 0; i < files.size(); i++) {
    if (!temps[i].empty()) continue;
    if (!write_in_place(files[i].path, files[i].bytes.data(), files[i].bytes.size(), error)) {
      discard();
      return false;
    }
  }
  for (size_t i = 0; i < files.size(); i++) {
    if (temps[i].empty()) continue;
    if (!put_in_place(temps[i], files[i].path, error)) {
      discard();
      return false;
    }
    temps[i].clear();
  }
  return true;
}

bool write_output(const std::string& path, const void* data, size_t size, std::string* error) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  return write_outputs({{path, std::vector<uint8_t>(p, p + size)}}, error);
}
