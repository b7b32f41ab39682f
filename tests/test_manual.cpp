// The manual page and the bash completion against the program itself: every
// command of `quorix --help` has a section in quorix.1 naming exactly the
// options the command's own help lists; and cmake --install puts all three
// where the system looks for them.
#include <regex>
#include <set>

#include "test_util.h"

namespace {

typedef std::set<std::string> Options;

// Every --option in `text`, less the ones every command takes.
Options OptionsIn(const std::string& text) {
  Options found;
  static const std::regex option("--[a-z0-9][a-z0-9-]*");
  for (std::sregex_iterator i(text.begin(), text.end(), option), end; i != end; ++i) found.insert(i->str());
  found.erase("--help");
  found.erase("--version");
  return found;
}

// The commands and, for each, the lines of `quorix --help`'s usage that
// belong to it (its "quorix NAME" line and the lines continuing it).
std::map<std::string, std::string> UsageByCommand(const std::string& help) {
  std::map<std::string, std::string> usage;
  static const std::regex first("^(usage:)? *quorix ([a-z0-9]+)");
  std::string current;
  for (const std::string& line : SplitLines(help)) {
    if (line.empty()) break;
    std::smatch m;
    if (std::regex_search(line, m, first))
      current = m[2];
    else if (line.find("quorix") != std::string::npos)
      current.clear();  // "quorix [COMMAND] --help"
    if (!current.empty()) usage[current] += line + "\n";
  }
  return usage;
}

// The text of each ".SS quorix NAME" section, with "\-" read as "-".
std::map<std::string, std::string> ManualSections(const std::string& page) {
  std::map<std::string, std::string> sections;
  std::string current;
  for (std::string line : SplitLines(page)) {
    for (size_t at; (at = line.find("\\-")) != std::string::npos;) line.replace(at, 2, "-");
    if (line.rfind(".SS quorix ", 0) == 0) {
      current = line.substr(11);
      sections[current];
    } else if (line.rfind(".SH", 0) == 0 || line.rfind(".SS", 0) == 0) {
      current.clear();
    } else if (!current.empty() && line.rfind(".\\\"", 0) != 0) {
      sections[current] += line + "\n";
    }
  }
  return sections;
}

TEST(Manual, EveryCommandAndOptionAsTheHelpSays) {
  const Bytes bytes = ReadBytes(QUORIX_SOURCE_DIR "/docs/quorix.1");
  const std::string page(bytes.begin(), bytes.end());
  std::map<std::string, std::string> sections = ManualSections(page);
  RunResult help = RunProgram({QUORIX_CLI, "--help"});
  ASSERT_EQ(help.status, 0);
  std::map<std::string, std::string> usage = UsageByCommand(help.out);
  ASSERT_GE(usage.size(), 5u) << help.out;  // the conversions, machines, listen, info
  for (const auto& u : usage) {
    const std::string& command = u.first;
    SCOPED_TRACE(command);
    ASSERT_TRUE(sections.count(command)) << "no section \".SS quorix " << command << "\"";
    // A command of its own prints its own help; the two conversions share
    // the program's, where their usage lines list their options.
    RunResult own = RunProgram({QUORIX_CLI, command, "--help"});
    ASSERT_EQ(own.status, 0);
    Options listed = OptionsIn(own.out == help.out ? u.second : own.out);
    EXPECT_EQ(OptionsIn(sections[command]), listed);
  }
}

TEST(Manual, InstallPutsEverythingInPlace) {
  std::string dir = MakeTempDir();
  RunResult install = RunProgram({"cmake", "--install", QUORIX_BUILD_DIR, "--prefix", "/usr/local"}, "",
                                 {"DESTDIR=" + dir + "/stage"});
  ASSERT_EQ(install.status, 0) << install.out << install.err;
  std::string root = dir + "/stage/usr/local";
  const Bytes page = ReadBytes(QUORIX_SOURCE_DIR "/docs/quorix.1");
  ASSERT_FALSE(page.empty());
  EXPECT_EQ(ReadBytes(root + "/share/man/man1/quorix.1"), page);
  RunResult version = RunProgram({root + "/bin/quorix", "--version"});
  EXPECT_EQ(version.status, 0);

  // The completion, sourced into bash, completes commands, options and
  // machine names by asking the installed program.
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
