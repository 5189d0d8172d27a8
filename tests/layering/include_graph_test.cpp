// Dependencies run one way. Every #include of a source file is checked
// against the folders its own folder may reach.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct Rule {
  std::string folder;                // below the source root
  std::set<std::string> mayInclude;  // first path component of a quoted include
  bool qtAllowed = false;
};

// A quoted include without a folder ("protocol.hpp") is the folder's own.
const std::vector<Rule>& Rules() {
  static const std::vector<Rule> rules = {
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
      {"app/mainwindow",
       {"frontend", "engine", "definition", "markup", "continuous", "dravik", "rawdialog"},
       true},
      {"app/rawdialog",
       {"rawdialog", "frontend", "engine", "definition", "markup", "continuous", "dravik"},
       true},
      {"app/plotwindow", {"continuous", "engine", "definition", "markup", "dravik"}, true},
  };
  return rules;
}

struct Violation {
  std::string file;
  int line;
  std::string include;
};

std::vector<Violation> Check(const fs::path& root, const Rule& rule) {
  static const std::regex includeLine(R"(^\s*#\s*include\s*([<"])([^">]+)[">])");
  std::vector<Violation> violations;
  const fs::path folder = root / rule.folder;
  if (!fs::exists(folder)) {
    return violations;
  }
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const std::string extension = entry.path().extension().string();
    if (!entry.is_regular_file() ||
        (extension != ".cpp" && extension != ".hpp" && extension != ".h" && extension != ".c")) {
      continue;
    }
    std::ifstream in(entry.path());
    std::string text;
    int lineNumber = 0;
    while (std::getline(in, text)) {
      ++lineNumber;
      std::smatch match;
      if (!std::regex_search(text, match, includeLine)) {
        continue;
      }
      const std::string path = match[2];
      bool allowed = true;
      if (match[1] == "<") {
        allowed = rule.qtAllowed || !(path.rfind("Q", 0) == 0 || path.rfind("qt", 0) == 0);
      } else {
        const size_t slash = path.find('/');
        allowed = slash == std::string::npos || rule.mayInclude.count(path.substr(0, slash)) > 0;
      }
      if (!allowed) {
        violations.push_back(
            {fs::relative(entry.path(), root).string(), lineNumber, match[0].str()});
      }
    }
  }
  return violations;
}

TEST(IncludeGraph, EveryFolderIncludesOnlyWhatItMayDependOn) {
  const fs::path root = KESTROVA_SOURCE_DIR;
  int filesChecked = 0;
  for (const Rule& rule : Rules()) {
    for (const Violation& v : Check(root, rule)) {
      ADD_FAILURE() << v.file << ":" << v.line << ": " << rule.folder
                    << " may not include this: " << v.include;
    }
    filesChecked += fs::exists(root / rule.folder) ? 1 : 0;
  }
  EXPECT_EQ(filesChecked, static_cast<int>(Rules().size())) << "a checked folder is missing";
}

TEST(IncludeGraph, TheCheckSeesAForbiddenInclude) {
  // The checker itself: a library file that reached into the program is caught.
  const fs::path root =
      fs::temp_directory_path() / ("kestrova-include-graph-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "library");
  std::ofstream(root / "library" / "bad.cpp")
      << "#include \"usb/usb_device.hpp\"\n#include \"engine/session.hpp\"\n#include <QWidget>\n";
  const std::vector<Violation> found = Check(root, Rules().front());
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].line, 2);
  EXPECT_EQ(found[1].include, "#include <QWidget>");
  fs::remove_all(root);
}

}  // namespace
