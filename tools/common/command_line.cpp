#include "command_line.hpp"

#include <algorithm>
#include <vector>

#include "tool_report.hpp"

namespace kestrova::tools {

std::string VersionText(std::string_view tool) {
  return std::string(tool) + " " + KESTROVA_VERSION;
}

void ApplyCommonRules(CLI::App& app, std::string_view tool) {
  app.name(std::string(tool));
  app.set_version_flag("--version", VersionText(tool));
  // Commands added later inherit these: their unknown options are the tool's.
  app.fallthrough();
  app.get_formatter()->label("SUBCOMMAND", "COMMAND");
  app.get_formatter()->label("SUBCOMMANDS", "COMMANDS");
  app.get_formatter()->label("Subcommands", "Commands");
  app.get_formatter()->label("TEXT", "");
  app.footer("Exit status: 0 success, 1 transfer, file or hardware error, 2 bad usage.");
}

std::optional<int> ParseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& err) {
  // "--name=" gives the option an empty value, as "--name ''" does: CLI11
  // would take the next word as the value instead.
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    const bool emptyValue = word.starts_with("--") && word.find('=') == word.size() - 1;
    words.emplace_back(emptyValue ? word.substr(0, word.size() - 1) : word);
    if (emptyValue) {
      words.emplace_back();
    }
  }
  std::reverse(words.begin(), words.end());  // CLI11 takes the words last first
  try {
    app.parse(words);
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    out << app.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::CallForVersion& version) {
    out << version.what() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& error) {
    return RefuseCommandLine(error.what(), app.get_name(), err);
  }
  return std::nullopt;
}

int RefuseCommandLine(std::string_view problem, std::string_view helpFor, std::ostream& err) {
  const std::string_view tool = helpFor.substr(0, helpFor.find(' '));
  err << tool << ": " << problem << "\n"
      << "Try '" << helpFor << " --help'.\n";
  return kExitUsage;
}

}  // namespace kestrova::tools
