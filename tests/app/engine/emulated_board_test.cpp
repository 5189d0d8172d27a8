// The engine through the real device library, bound by name from the build,
// on the emulated board with the demo part.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../markup/temp_folder.hpp"
#include "definition/numbers.hpp"
#include "engine/library_binding.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"
#include "support/recording_front_end.hpp"

namespace kestrova::engine {
namespace {

// Temperatures that stand still, so every byte can be compared.
const char* kStillScenario =
    "<definition>\r\n"
    " <temperature name=\"ambient\" mean=\"25\" amplitude=\"0\" period=\"120\" noise=\"0\" "
    "seed=\"1\"/>\r\n"
    " <chip device=\"demo\" bus=\"i2c\" addr=\"48\" source=\"ambient\"/>\r\n"
    " <board class=\"highspeed\" vid=\"0400\" pid=\"1100\"/>\r\n"
    "</definition>\r\n";

class EmulatedBoard : public ::testing::Test {
 protected:
  void SetUp() override {
    kestrova::testing::WriteBytes(folder / "still.scn", kStillScenario);
    setenv("DRAVIK_EMULATOR", "1", 1);
    setenv("DRAVIK_EMULATOR_SCENARIO", (folder / "still.scn").c_str(), 1);
    setenv("KESTROVA_HOME", folder.path().c_str(), 1);
    ASSERT_TRUE(store.LoadMarkupFile(std::string(KESTROVA_DATA_DIR) + "/device/demo"));
    session.OnPartOpened();
    std::array<std::uint16_t, 2> vidPid = {0x0400, 0x1100};
    DeviceHandle handle = kNoDevice;
    ASSERT_TRUE(session.Bridge().OpenBoard(
        kLinkUsb, "dravik", vidPid, 0, std::string(KESTROVA_DATA_DIR) + "/bix/dravik.bix", handle))
        << session.Bridge().BoardErrorText();
    session.connection.deviceHandle = handle;
    session.connection.link = kLinkUsb;
    session.connection.busType = 2;  // i2c on the USB board
    session.connection.deviceAddress = 0x48;
    session.connection.interfaceAddressCaption = "48";
  }

  void TearDown() override {
    if (session.connection.deviceHandle != kNoDevice) {
      EXPECT_TRUE(session.Bridge().CloseBoard(session.connection.deviceHandle));
    }
  }

  // The chip's bytes for every address the engine reads, fetched afresh.
  TransferList ChipBytes() {
    TransferList list;
    EXPECT_TRUE(BuildTransferList(session, Direction::Read, Scope::All, list));
    const ConnectionValues& c = session.connection;
    EXPECT_TRUE(session.Bridge().ReadBoard(c.deviceHandle, c.port, c.busType, c.deviceAddress,
                                           list.address, list.data, list.count, false))
        << session.Bridge().BoardErrorText();
    return list;
  }

  void ExpectImagesMatchChip() {
    const TransferList chip = ChipBytes();
    ASSERT_GT(chip.count, 10);
    for (int i = 0; i < chip.count; ++i) {
      const auto address = static_cast<std::size_t>(chip.address[static_cast<std::size_t>(i)]);
      EXPECT_EQ(session.images.valueImage[address], chip.data[static_cast<std::size_t>(i)])
          << "address " << definition::Hex2(static_cast<std::uint32_t>(address));
      EXPECT_EQ(session.images.deviceImage[address], chip.data[static_cast<std::size_t>(i)])
          << "address " << definition::Hex2(static_cast<std::uint32_t>(address));
    }
  }

  // The line of the bit field labelled `label`.
  int FieldLine(const std::string& label, int* registerLine) {
    store.FindElement(0, "definition");
    store.FindElement(1, "part");
    while (store.FindElement(2, "register")) {
      const int reg = store.XmlFileIndex();
      while (store.FindElement(3, "bitfield")) {
        if (store.GetAttribute("label") == label) {
          *registerLine = reg;
          return store.XmlFileIndex();
        }
      }
      store.SetXmlFileIndex(reg);
    }
    return 0;
  }

  kestrova::testing::TempFolder folder;
  markup::MarkupStore store;
  LibraryBinding library{
      std::vector<std::string>{std::string(KESTROVA_BIN_DIR) + "/" + kDeviceLibraryName}};
  test_support::RecordingFrontEnd messages;
  Session session{store, library, messages};
};

TEST_F(EmulatedBoard, ReadChangeWriteAndReadBackAgreeWithTheChip) {
  // The first read learns the configuration, which shows the alarm-window
  // registers that the definition hides while the window is off; the second
  // reads those too.
  ASSERT_TRUE(ReadUnmodified(session));
  ASSERT_TRUE(ReadUnmodified(session));
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front().prompt;
  ExpectImagesMatchChip();

  int configLine = 0;
  const int faultQueue = FieldLine("Fault queue", &configLine);
  ASSERT_NE(faultQueue, 0);
  store.SetXmlFileIndex(faultQueue);
  const std::int32_t before = definition::HexToLong(store.GetAttribute("value"));
  const std::string changed = definition::HexText(static_cast<std::uint32_t>((before + 1) % 4));
  ASSERT_TRUE(store.SetAttribute("value", changed, true));
  session.images.MarkModified(0x01, configLine, true);

  ASSERT_TRUE(WriteModified(session, true));  // Read After Write reads it back
  EXPECT_TRUE(messages.shown.empty());
  store.SetXmlFileIndex(faultQueue);
  EXPECT_EQ(store.GetAttribute("value"), changed);
  EXPECT_EQ((session.images.deviceImage[1] >> 5) & 3, definition::HexToLong(changed));
  ExpectImagesMatchChip();

  // The chip keeps it: a fresh engine read finds the same.
  session.images.valueImage.assign(kImageSize, 0);
  ASSERT_TRUE(ReadUnmodified(session));
  ASSERT_TRUE(ReadUnmodified(session));
  store.SetXmlFileIndex(faultQueue);
  EXPECT_EQ(store.GetAttribute("value"), changed);
  ExpectImagesMatchChip();
}

TEST_F(EmulatedBoard, AbsentChipIsABoardError) {
  session.connection.deviceAddress = 0x4F;
  session.connection.testFlags = kTestLibraryErrorText;
  EXPECT_FALSE(ReadUnmodified(session));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt.rfind("Check USB connection and select Device again\r\n", 0),
            0u)
      << messages.shown[0].prompt;
  EXPECT_GT(messages.shown[0].prompt.size(), 48u);  // the library's own text follows
}

TEST(RealLibrary, BindsByNameBesideTheProgram) {
  LibraryBinding binding;
  EXPECT_TRUE(binding.Bind()) << binding.BindingError();
  EXPECT_EQ(binding.LoadedPath(), ExecutableFolder() + "/" + kDeviceLibraryName);
  EXPECT_EQ(binding.CloseDevice(12345), 0);  // a handle it never gave out
  std::array<char, kErrorTextSize> text{};
  EXPECT_EQ(binding.LastErrorDevice(text.data()), 1);
  EXPECT_EQ(std::string(text.data()), "CloseUSB: Invalid Device Handle");
}

}  // namespace
}  // namespace kestrova::engine
