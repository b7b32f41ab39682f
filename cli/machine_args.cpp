#include "cli/machine_args.h"

#include "platform/files.h"

bool machine_table_of(const ParsedArgs& args, MachineTable* table, std::string* why, bool* unreadable) {
  *table = builtin_machines();
  *unreadable = false;
  std::vector<std::string> files;
  const std::string own = user_config_file("machines.toml");
  if (!own.empty() && file_type(own) != FileType::missing) files.push_back(own);
  for (const ParsedArgs::Given& g : args.options)
    if (std::string(g.option->name) == "machines") files.push_back(g.value);
  for (const std::string& f : files) {
    if (f.empty() || f == "-") return *why = "--machines needs a file name", false;
    FileType type = file_type(f);
    if (type != FileType::regular) {
      *unreadable = true;
      *why = f + (type == FileType::missing ? ": no such file" : ": not a regular file");
      return false;
    }
    *why = load_machine_file(f, table);
    if (!why->empty()) {
      *unreadable = why->find(": cannot read the file") != std::string::npos;
      return false;
    }
  }
  return true;
}

std::string sureness_line(const Sureness& sure) {
  std::string out;
  for (const auto& [key, value] : sure) out += (out.empty() ? "" : "; ") + key + ": " + value;
  return out;
}
