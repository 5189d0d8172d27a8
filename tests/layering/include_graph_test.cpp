// Dependencies run one way. Every #include of a source file is checked
// against the folders its own folder may reach.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "../app/markup/temp_folder.hpp"

namespace {

namespace fs = std::filesystem;

struct Rule {
  std::string folder;                // below the source root
  std::set<std::string> mayInclude;  // first path component of a quoted include
  bool qtAllowed = false;
};

// The main window may include the raw register dialog, not the reverse.
const std::set<std::string> kWindowMayInclude = {"rawdialog", "frontend",   "engine", "definition",
                                                 "markup",    "continuous", "dravik"};

// A quoted include without a folder ("protocol.hpp") is the folder's own.
const std::vector<Rule> kRules = {
    {"library", {"usb", "smbus", "dravik"}},
    {"app/markup", {"markup"}},
    {"app/definition", {"definition", "markup"}},
    {"app/engine", {"engine", "definition", "markup", "dravik"}},
    {"app/continuous", {"continuous", "engine", "definition", "markup", "dravik"}},
    {"app/frontend", {"frontend", "continuous", "engine", "definition", "markup", "dravik"}},
    {"emulator", {"emulator", "definition", "markup", "usb", "smbus", "dravik"}},
    {"tools",
     {"frontend", "engine", "definition", "markup", "continuous", "dravik", "usb", "smbus",
      "emulator"}},
    {"app/mainwindow", kWindowMayInclude, true},
    {"app/rawdialog", kWindowMayInclude, true},
    {"app/plotwindow", {"continuous", "engine", "definition", "markup", "dravik"}, true},
};

// "file:line: include" of every include the rule forbids (a folder that is not
// there throws).
std::vector<std::string> Violations(const fs::path& root, const Rule& rule) {
  static const std::regex includeLine(R"(^\s*#\s*include\s*([<"])([^">]+)[">])");
  static const std::set<std::string> sources = {".cpp", ".hpp", ".h", ".c"};
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root / rule.folder)) {
    if (!entry.is_regular_file() || sources.count(entry.path().extension().string()) == 0) {
      continue;
    }
    std::ifstream in(entry.path());
    std::string text;
    for (int line = 1; std::getline(in, text); ++line) {
      std::smatch match;
      if (!std::regex_search(text, match, includeLine)) {
        continue;
      }
      const std::string path = match[2];
      const size_t slash = path.find('/');
      const bool allowed =
          match[1] == "<"
              ? rule.qtAllowed || !(path.rfind("Q", 0) == 0 || path.rfind("qt", 0) == 0)
              : slash == std::string::npos || rule.mayInclude.count(path.substr(0, slash));
      if (!allowed) {
        found.push_back(fs::relative(entry.path(), root).string() + ":" + std::to_string(line) +
                        ": " + match[0].str());
      }
    }
  }
  return found;
}

// The checker itself first: a library file that reached into the program is caught.
TEST(IncludeGraph, EveryFolderIncludesOnlyWhatItMayDependOn) {
  const kestrova::testing::TempFolder bad;
  fs::create_directory(bad / "library");
  kestrova::testing::WriteBytes(
      bad / "library/bad.cpp",
      "#include \"usb/usb_device.hpp\"\n#include \"engine/session.hpp\"\n#include <QWidget>\n");
  EXPECT_EQ(Violations(bad.path(), kRules.front()),
            (std::vector<std::string>{"library/bad.cpp:2: #include \"engine/session.hpp\"",
                                      "library/bad.cpp:3: #include <QWidget>"}));
  for (const Rule& rule : kRules) {
    SCOPED_TRACE(rule.folder);
    EXPECT_EQ(Violations(KESTROVA_SOURCE_DIR, rule), std::vector<std::string>{});
  }
}

}  // namespace
