// Every command's --json output parsed: the schema both tools share, the
// notice that no hardware is in use said once, engineering values as numbers;
// and the log on standard output or followed row by row.
#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"

namespace kestrova::cli::testing {
namespace {

using kestrova::testing::ReadBytes;
using Json = nlohmann::json;

using JsonOutput = CliTest;

TEST_F(JsonOutput, EveryCommandPrintsOneDocumentOfTheSharedSchema) {
  const std::string data = work / "a.dat";
  const std::string notice =
      "no hardware in use (link none): the values come from the part definition, not from a chip";
  // Whether the command opens the part: "hardware" and the notice.
  const std::vector<std::pair<std::vector<std::string>, bool>> cases = {
      {{"parts"}, false},
      {{"check", home / "device/demo"}, false},
      {{"read", "Temp"}, true},
      {{"write", "User byte 1=7"}, true},
      {{"save", data}, true},
      {{"load", data}, true},
      {{"log", work / "a.txt", "--count", "1", "--interval", "10"}, true},
      {{"raw", "write", "81", "07"}, true},
  };
  for (const auto& [command, hardware] : cases) {
    SCOPED_TRACE(command.front());
    std::vector<std::string> arguments = command;
    arguments.push_back("--json");
    const CliRun run = Demo(arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.notices, hardware ? 1 : 0);
    const Json document = Json::parse(run.out);
    EXPECT_EQ(document["tool"], "kestrova-cli");
    EXPECT_EQ(document["command"], command.front());
    EXPECT_EQ(document["ok"], true);
    EXPECT_EQ(document["errors"], Json::array());
    EXPECT_EQ(document["warnings"], hardware ? Json::array({notice}) : Json::array());
    if (hardware) {
      EXPECT_EQ(document["hardware"], Json({{"link", "none"}, {"inUse", false}}));
      EXPECT_EQ(document["address"], 72);
    }
  }
  // A field's engineering value is a number next to its display text.
  const Json read = Json::parse(Demo({"--json", "write", "Alarm high limit=85.25"}).out);
  const Json& field = read["registers"][0]["fields"][0];
  EXPECT_EQ(field["label"], "Alarm high limit");
  EXPECT_EQ(field["raw"], 0x554);
  EXPECT_EQ(field["value"], 85.25);
  EXPECT_EQ(field["display"], "85.2500");
  EXPECT_EQ(field["units"],
            "\xC2\xB0"
            "C");
}

TEST_F(JsonOutput, LogToStandardOutputAndFollowed) {
  auto log = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "log");
    arguments.insert(arguments.end(), {"--interval", "10", "--count", "2"});
    return Demo(arguments);
  };
  const std::string row = "TIME\t25.0000 \t80h     \t0       \t";
  CliRun run = log({"-"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "logged 2 rows to /dev/stdout (limit)\n");
  EXPECT_EQ(run.out.rfind("\r\nLogFile = /dev/stdout\r\n", 0), 0u) << run.out;
  EXPECT_NE(WithoutTimes(run.out).find(row + "\r\n" + row + "\r\n"), std::string::npos);

  const std::string file = work / "f.txt";
  run = log({file, "--follow"});
  EXPECT_EQ(run.status, 0) << run.err;
  // The file's lines as they are taken, with the terminal's line ends.
  std::string lines = WithoutTimes(ReadBytes(file));
  for (std::size_t at = lines.find('\r'); at != std::string::npos; at = lines.find('\r')) {
    lines.erase(at, 1);
  }
  EXPECT_EQ(WithoutTimes(run.out), lines + "logged 2 rows to " + file + " (limit)\n");

  run = log({file, "--follow", "--json"});
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream out(run.out);
  std::vector<Json> documents;
  for (std::string line; std::getline(out, line);) {
    documents.push_back(Json::parse(line));
  }
  ASSERT_EQ(documents.size(), 3u);  // two rows, then the command's document
  for (int i = 0; i < 2; ++i) {
    const Json& taken = documents[static_cast<std::size_t>(i)];
    EXPECT_TRUE(taken["epochMs"].is_number_integer());
    EXPECT_TRUE(std::regex_match(taken["time"].get<std::string>(),
                                 std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\\.[0-9]{3}")));
    EXPECT_EQ(taken["registers"][0], Json({{"title", "Temp"},
                                           {"value", 25},
                                           {"display", "25.0000"},
                                           {"units",
                                            "\xC2\xB0"
                                            "C"}}));
    EXPECT_EQ(taken["registers"].size(), 3u);
  }
  EXPECT_EQ(documents[2]["rows"], 2);
}

}  // namespace
}  // namespace kestrova::cli::testing
