// The manual page and bash completion against the program's help, and their install.
#include <regex>
#include <set>

#include "test_util.h"

namespace {

// Every --option in `text`, less the ones every command takes.
std::set<std::string> OptionsIn(const std::string& text) {
  static const std::regex option("--[a-z0-9][a-z0-9-]*");
  std::set<std::string> found;
  for (std::sregex_iterator i(text.begin(), text.end(), option), end; i != end; ++i) found.insert(i->str());
  found.erase("--help");
  found.erase("--version");
  return found;
}

// Groups of lines, each from `lead` and a name up to a line holding `end`, by name.
std::map<std::string, std::string> Groups(const std::string& text, const std::string& lead, const std::string& end) {
  std::map<std::string, std::string> groups;
  std::string* current = nullptr;
  for (const std::string& line : SplitLines(text)) {
    size_t at = line.find(lead);
    if (at != std::string::npos && islower(line[at + lead.size()]))
      current = &groups[line.substr(at + lead.size(), line.find(' ', at + lead.size()) - at - lead.size())];
    else if (line.find(end) != std::string::npos)
      current = nullptr;
    if (current) *current += line + "\n";
  }
  return groups;
}

TEST(Manual, EveryCommandAndOptionAsTheHelpSays) {
  Bytes bytes = ReadBytes(QUORIX_BUILD_DIR "/generated/quorix.1");
  std::string page(bytes.begin(), bytes.end());
  for (size_t at; (at = page.find("\\-")) != std::string::npos;) page.replace(at, 2, "-");
  std::map<std::string, std::string> sections = Groups(page, ".SS quorix ", ".S");
  RunResult help = RunProgram({QUORIX_CLI, "--help"});
  ASSERT_EQ(help.status, 0);
  std::map<std::string, std::string> usage = Groups(help.out.substr(0, help.out.find("\n\n")), "quorix ", "quorix");
  EXPECT_EQ(usage.size(), 7u) << help.out;  // the conversions, machines, prepare, kit, listen, info
  for (const auto& u : usage) {
    SCOPED_TRACE(u.first);
    ASSERT_TRUE(sections.count(u.first)) << "no section \".SS quorix " << u.first << "\"";
    // The two conversions share the program's help, whose usage lines list their options.
    RunResult own = RunProgram({QUORIX_CLI, u.first, "--help"});
    ASSERT_EQ(own.status, 0);
    EXPECT_EQ(OptionsIn(sections[u.first]), OptionsIn(own.out == help.out ? u.second : own.out));
  }
}

TEST(Manual, InstallPutsEverythingInPlace) {
  std::string dir = MakeTempDir();
  RunResult install = RunProgram({"cmake", "--install", QUORIX_BUILD_DIR, "--prefix", "/usr/local"}, "",
                                 {"DESTDIR=" + dir + "/stage"});
  ASSERT_EQ(install.status, 0) << install.out << install.err;
  std::string root = dir + "/stage/usr/local";
  const Bytes page = ReadBytes(QUORIX_BUILD_DIR "/generated/quorix.1");
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(ReadBytes(root + "/share/man/man1/quorix.1"), page);

  const struct {
    std::vector<std::string> words;
    std::string expected;
  } cases[] = {
      {{"quorix", "li"}, "listen"},
      {{"quorix", "info", "--pl"}, "--plot --plot-size"},
      {{"quorix", "listen", "--machine", "dmx-p"}, "dmx-perc dmx-perc2"},
  };
  for (const auto& c : cases) {
    std::string words;
    for (const std::string& w : c.words) words += " '" + w + "'";
    std::string script = "source '" + root + "/share/bash-completion/completions/quorix'; COMP_WORDS=(" +
                         words + "); COMP_CWORD=" + std::to_string(c.words.size() - 1) +
                         "; _quorix; echo \"${COMPREPLY[*]}\"";
    RunResult r = RunProgram({"bash", "--norc", "-c", script}, "", {"PATH=" + root + "/bin:/usr/bin:/bin"});
    EXPECT_EQ(r.out, c.expected + "\n") << words << r.err;
  }
  RemoveTree(dir);
}

}  // namespace
