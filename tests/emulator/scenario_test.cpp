#include "emulator/scenario.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "../app/markup/temp_folder.hpp"
#include "emulator/environment.hpp"
#include "emulator/register_chip.hpp"

namespace kestrova::emulator {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kShippedData{KESTROVA_DATA_DIR};

using testing::TempFolder;

// Writes text to a file of the folder; its path.
std::string Write(const TempFolder& folder, const std::string& name, const std::string& text) {
  testing::WriteBytes(folder / name, text);
  return folder / name;
}

RegisterChip& ChipAt(Emulator& emulator, uint8_t address) {
  Chip* chip = emulator.GetBuses()->I2c().ChipAt(address);
  EXPECT_NE(chip, nullptr) << std::hex << int{address};
  return *static_cast<RegisterChip*>(chip);
}

// Every kind of element, and the problems of bad ones, each naming its
// line: the rest still loads. A part's own file gives separate write
// addresses, read-only bits and board registers.
TEST(ScenarioTest, LoadsEveryElementAndNamesTheLineOfEachProblem) {
  TempFolder folder;
  const std::string part =
      Write(folder, "part",
            "<definition>\r\n <part label=\"P\">\r\n  <register title=\"Cfg\">\r\n"
            "   <bitfield label=\"a\" addr=\"03:09\" bit=\"7:4\" value=\"A\"/>\r\n"
            "   <bitfield label=\"b\" addr=\"03:09\" bit=\"3:0\" attr=\"R\" value=\"5\"/>\r\n"
            "   <bitfield label=\"bad\" addr=\"zz\" bit=\"0\" value=\"1\"/>\r\n"
            "   <bitfield label=\"board\" addr=\"400\" bit=\"1\" value=\"1\"/>\r\n"
            "  </register>\r\n </part>\r\n</definition>\r\n");
  const std::string empty = Write(folder, "empty", "<definition>\r\n</definition>\r\n");
  const std::string path =
      Write(folder, "test.scn",
            "<definition>\r\n"
            " <chip device=\"nosuchpart\"/>\r\n"
            " <chip device=\"../etc/passwd\"/>\r\n"
            " <chip device=\"demo\" addr=\"zz\"/>\r\n"
            " <chip device=\"demo\" bus=\"can\"/>\r\n"
            " <chip device=\"demo\"/>\r\n"
            " <chip device=\"demo\"/>\r\n"
            " <chip device=\"demo\" addr=\"90\"/>\r\n"
            " <chip device=\"demo\" addr=\"40\" source=\"missing\"/>\r\n"
            " <board class=\"superspeed\"/>\r\n"
            " <stream hex=\"1 2 300\"/>\r\n"
            " <boardreg addr=\"10000\" value=\"1\"/>\r\n"
            " <temperature name=\"t\" mean=\"warm\"/>\r\n"
            " <temperature name=\"u\" seed=\"-1\"/>\r\n"
            " <board reenumerate=\"100000000\"/>\r\n"
            " <temperature name=\"hot\" mean=\"100\" amplitude=\"0\" noise=\"0\"/>\r\n"
            " <chip file=\"" +
                std::string(KESTROVA_DATA_DIR) +
                "/device/demo\" addr=\"4A\" source=\"hot\">\r\n"
                "  <byte addr=\"5\" value=\"77\"/>\r\n"
                "  <temp addr=\"20,120\" lsb=\"0.5\" shift=\"7\"/>\r\n"
                " </chip>\r\n"
                " <chip device=\"demo\" bus=\"spi\" addr=\"C8\" follow=\"false\"/>\r\n"
                " <chip device=\"demo\" bus=\"microwire\" window=\"0,100\" follow=\"false\"/>\r\n"
                " <board class=\"fullspeed\"/>\r\n"
                " <board pid=\"3100\" replug=\"false\"/>\r\n"
                " <stream hex=\"01 02 FF\"/>\r\n"
                " <boardreg addr=\"1234\" value=\"5A\"/>\r\n"
                " <chip file=\"" +
                folder.path() + "/none\"/>\r\n <chip file=\"" + empty + "\"/>\r\n <chip file=\"" +
                part + "\" bus=\"i2c\" addr=\"50\"/>\r\n</definition>\r\n");
  Emulator emulator;
  std::vector<std::string> problems;
  ASSERT_TRUE(LoadScenario(path, kShippedData, emulator, problems));
  const std::vector<std::string> expected = {
      path + ":13: mean \"warm\" is not a number",
      path + ":14: seed must be a whole number from 0 to 4294967295",
      path + ":2: part definition \"nosuchpart\" not found in any device folder",
      path + ":3: chip needs a device name (no \"/\") or a file",
      path + ":4: addr \"zz\" is not hexadecimal",
      path + ":5: no emulated bus for \"can\"",
      path + ":7: cannot place \"demo\" at 48 on i2c (taken, or beyond the bus's addresses)",
      path + ":8: cannot place \"demo\" at 90 on i2c (taken, or beyond the bus's addresses)",
      path + ":9: no temperature source \"missing\"",
      path + ":27: part file " + folder.path() + "/none not found",
      path + ":28: " + empty + ": no part element",
      part + ":6: bit field without a hexadecimal addr",
      path + ":10: board class \"superspeed\" is neither fullspeed nor highspeed",
      path + ":15: reenumerate must be a whole number from 0 to 1000000",
      path + ":11: stream hex \"1 2 300\" is not a list of bytes",
      path + ":12: boardreg needs an addr up to FFFF and a value up to FF",
  };
  EXPECT_EQ(problems, expected);
  EXPECT_NE(emulator.GetBuses()->I2c().ChipAt(0x48), nullptr);
  EXPECT_NE(emulator.GetBuses()->I2c().ChipAt(0x40), nullptr);
  RegisterChip& chip = ChipAt(emulator, 0x4A);
  EXPECT_EQ(chip.ReadByte(0x005), 0x77);
  // 100 C is raw 1600 (1/16 C steps): regbit 12:5 in the high byte.
  EXPECT_EQ(chip.ReadByte(0x000), 0x32);
  EXPECT_EQ(chip.ReadByte(0x020), 0x64) << "explicit binding: 200 half degrees << 7";
  EXPECT_NE(emulator.GetBuses()->Spi().ChipAt(0xC8), nullptr);
  uint8_t window[2];
  emulator.GetBuses()->Microwire().Read(window, 2);
  EXPECT_EQ(window[0], 0x0C);
  EXPECT_EQ(window[1], 0x80);
  // The two bad boards are boards with what they could read.
  ASSERT_EQ(emulator.BoardCount(), 4u);
  EXPECT_EQ(emulator.BoardAt(2).Class(), BoardClass::kFullSpeed);
  EXPECT_EQ(emulator.BoardAt(2).PresentedIdentity().productId, 0x1100);
  EXPECT_EQ(emulator.BoardAt(3).PresentedIdentity().productId, 0x3100);
  EXPECT_FALSE(emulator.BoardAt(3).ReplugsOnSearch());
  EXPECT_EQ(emulator.GetBuses()->Stream().Available(), 3u);
  EXPECT_EQ(emulator.GetBuses()->Registers().Read(0x1234), 0x5A);
  EXPECT_EQ(emulator.GetBuses()->Registers().Read(0x400), 0x02);
  RegisterChip& own = ChipAt(emulator, 0x50);
  EXPECT_EQ(own.ReadByte(3), 0xA5);
  own.WriteByte(0x09, 0x00);
  EXPECT_EQ(own.ReadByte(3), 0x05);
}

// The bench falls back step by step: the shipped default scenario, every
// part at its default address, or one bare board; a scenario or fault list
// it cannot read is reported and still leaves a board.
TEST(ScenarioTest, BenchWithoutAScenarioFallsBackStepByStep) {
  const auto none = [](const char*) -> std::optional<std::string> { return std::nullopt; };
  const BenchBuild shipped = BuildBench(none, kShippedData);
  EXPECT_TRUE(shipped.problems.empty());
  EXPECT_EQ(shipped.scenario, std::string(KESTROVA_DATA_DIR) + "/scenario/default.scn");
  Emulator& emulator = *shipped.emulator;
  std::map<uint8_t, std::string> placed;
  for (const auto& chip : emulator.Chips()) {
    placed[chip.address] = chip.name;
  }
  EXPECT_EQ(placed, (std::map<uint8_t, std::string>{{0x18, "jc42-dimm-temperature-sensor"},
                                                    {0x48, "demo"},
                                                    {0x49, "i2c-temperature-sensor-12bit"},
                                                    {0x4C, "remote-diode-temperature-sensor"}}));
  ASSERT_EQ(emulator.BoardCount(), 1u);
  EXPECT_EQ(emulator.BoardAt(0).Class(), BoardClass::kHighSpeed);
  EXPECT_EQ(emulator.BoardAt(0).PresentedIdentity().productId, 0x1100);
  // Every shipped part loads clean (a warning would be a problem); the
  // demo's Config has the alarm window bit 2 set, AlarmHi 28 in its high byte.
  EXPECT_EQ(ChipAt(emulator, 0x48).Byte(0x001), 0x04);
  EXPECT_EQ(ChipAt(emulator, 0x48).Byte(0x002), 0x28);

  TempFolder folder;
  fs::create_directories(folder.path() + "/device");
  fs::copy_file(std::string(KESTROVA_DATA_DIR) + "/device/demo", folder.path() + "/device/demo");
  const BenchBuild parts = BuildBench(none, {folder.path()});
  EXPECT_TRUE(parts.problems.empty());
  EXPECT_TRUE(parts.scenario.empty());
  EXPECT_NE(parts.emulator->GetBuses()->I2c().ChipAt(0x48), nullptr);
  EXPECT_EQ(parts.emulator->BoardAt(0).PresentedIdentity().vendorId, 0x0400);

  const BenchBuild nothing = BuildBench(none, {});
  EXPECT_EQ(nothing.emulator->BoardCount(), 1u);
  EXPECT_EQ(nothing.emulator->BoardAt(0).PresentedIdentity().vendorId, kBootVendorId);

  const BenchBuild unreadable = BuildBench(
      [&](const char* name) -> std::optional<std::string> {
        if (std::string(name) == "DRAVIK_EMULATOR_SCENARIO") {
          return folder.path() + "/missing.scn";
        }
        if (std::string(name) == "DRAVIK_EMULATOR_FAULTS") {
          return std::string("sometimes");
        }
        return std::nullopt;
      },
      kShippedData);
  ASSERT_EQ(unreadable.problems.size(), 2u);
  EXPECT_EQ(unreadable.problems[0].rfind("cannot read emulator scenario " + folder.path(), 0), 0u);
  EXPECT_EQ(unreadable.problems[1].rfind("DRAVIK_EMULATOR_FAULTS: bad fault \"sometimes\"", 0), 0u);
  EXPECT_EQ(unreadable.emulator->BoardCount(), 1u);
  EXPECT_TRUE(unreadable.emulator->Chips().empty());
}

}  // namespace
}  // namespace kestrova::emulator
