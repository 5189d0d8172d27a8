#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "../markup/temp_folder.hpp"
#include "engine/board_bridge.hpp"
#include "engine/library_binding.hpp"
#include "engine/register_access.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

class BridgeTest : public testing::EngineTest {
 protected:
  BridgeTest() { session.connection.port = 0x102; }  // the library takes the low byte
};

// A narrow read gives the byte (to the device address given, on the low
// byte of the port); a wide one joins a signed word from two readings of one
// address, high byte first; writes mirror that and refuse what does not fit.
TEST_F(BridgeTest, RegReadAndRegWriteCarryBytesAndWords) {
  library.chip[0x05] = 0xFE;
  std::int16_t value = -7;
  EXPECT_TRUE(RegRead(session, 0x4A, 0x05, value, false));
  EXPECT_EQ(value, 254);
  const std::vector<std::pair<std::vector<std::uint8_t>, std::int16_t>> words = {
      {{0x80, 0x00}, -32768}, {{0x7F, 0xFF}, 32767}, {{0xFF, 0xFE}, -2}, {{0x01, 0x02}, 258}};
  for (const auto& [bytes, expected] : words) {
    library.readings[0x10] = bytes;
    EXPECT_TRUE(RegRead(session, 0x48, 0x10, value, true));
    EXPECT_EQ(value, expected);
    EXPECT_TRUE(RegWrite(session, 0x48, 0x03, expected, true));
  }
  EXPECT_TRUE(RegWrite(session, 0x48, 0x04, 0x5A, false));
  EXPECT_FALSE(RegWrite(session, 0x48, 0x04, 300, false));
  EXPECT_FALSE(RegWrite(session, 0x48, 0x04, -1, false));
  EXPECT_EQ(testing::CallsText(library),
            "ReadDevice 7 2 2 4A 5=FE|ReadDevice 7 2 2 48 10=80 10=00|WriteDevice 7 2 2 48 3=80 "
            "3=00|ReadDevice 7 2 2 48 10=7F 10=FF|WriteDevice 7 2 2 48 3=7F 3=FF|ReadDevice 7 2 2 "
            "48 10=FF 10=FE|WriteDevice 7 2 2 48 3=FF 3=FE|ReadDevice 7 2 2 48 10=01 "
            "10=02|WriteDevice 7 2 2 48 3=01 3=02|WriteDevice 7 2 2 48 4=5A");
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].prompt, "Register value 300 does not fit 8 bits");
}

// Without a board nothing is sent and the data stay; a count beyond the
// arrays is refused without a call.
TEST_F(BridgeTest, NoBoardOrABadCountSendsNothing) {
  session.connection.deviceHandle = kNoDevice;
  std::int16_t value = 99;
  EXPECT_TRUE(RegRead(session, 0x48, 0x05, value, true));
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(RegWrite(session, 0x48, 0x05, 12, false));
  EXPECT_TRUE(session.Bridge().CloseBoard(kNoDevice));
  const std::array<std::int16_t, 3> registers = {1, 2, 3};
  std::array<std::uint8_t, 3> data = {0xAA, 0xBB, 0xCC};
  for (const std::int16_t count : {3, 4, -1}) {
    std::int16_t n = count;
    const DeviceHandle handle = count == 3 ? kNoDevice : 7;
    EXPECT_EQ(session.Bridge().ReadBoard(handle, 0, 2, 0x48, registers, data, n, false),
              count == 3);
    EXPECT_EQ(session.Bridge().WriteBoard(handle, 0, 2, 0x48, registers, data, n, false),
              count == 3);
  }
  EXPECT_EQ(data, (std::array<std::uint8_t, 3>{0xAA, 0xBB, 0xCC}));
  EXPECT_TRUE(library.calls.empty());
  EXPECT_TRUE(messages.shown.empty());
}

// A failure shows the library's text, unless failures are ignored; a board
// byte is never ignored.
TEST_F(BridgeTest, FailuresShowTheLibraryText) {
  library.failuresLeft = 1;
  library.errorText = "ReadDevice: I2C Address > 0x7f";
  std::int16_t value = 0;
  EXPECT_FALSE(RegRead(session, 0x90, 0x00, value, false));
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "ReadDevice: I2C Address > 0x7f");
  EXPECT_EQ(messages.shown[0].buttons, markup::MB_OK);
  session.connection.testFlags = kTestIgnoreFailures;
  library.failuresLeft = 3;
  EXPECT_TRUE(RegRead(session, 0x90, 0x00, value, false));
  EXPECT_TRUE(RegWrite(session, 0x90, 0x00, 1, false));
  EXPECT_FALSE(session.Bridge().WriteBoardByte(7, 0x410, 0x3C));
  EXPECT_EQ(messages.shown.size(), 1u);
  library.calls.clear();
  EXPECT_TRUE(session.Bridge().WriteBoardByte(7, 0x410, 0x3C));
  EXPECT_EQ(testing::CallsText(library), "WriteDevice 7 0 0 0 410=3C");
}

TEST_F(BridgeTest, WriteLogTracesEveryWriteBeforeItIsMade) {
  kestrova::testing::TempFolder folder;
  session.connection.deviceFolder = folder.path();
  const std::string logPath = folder / "write.log";
  EXPECT_TRUE(RegWrite(session, 0x48, 0x10, 0x5A, false));
  EXPECT_FALSE(std::filesystem::exists(logPath));  // only with test bit 8

  session.connection.testFlags = kTestWriteLog;
  EXPECT_TRUE(RegWrite(session, 0x48, 0x10, 0x5A, false));
  EXPECT_TRUE(RegWrite(session, 0x48, 0x1FF, 258, true));
  library.failuresLeft = 1;
  EXPECT_FALSE(RegWrite(session, 0x48, 0x03, 0, false));
  EXPECT_EQ(kestrova::testing::ReadBytes(logPath), "10=5A \r\n1FF=01 1FF=02 \r\n03=00 \r\n");
  const std::array<std::int16_t, 2> registers = {0x400, -1};
  const std::array<std::uint8_t, 2> data = {0xAB, 0x7};
  EXPECT_EQ(WriteLogLine(registers, data, 9), "400=AB FFFF=07 ");  // never past the arrays
}

// The plain USB and SMBus texts and the verify failure with the chip
// address are shown by the register operations' tests.
TEST_F(BridgeTest, BoardErrorAndVerifyFailureMessages) {
  const std::string usb = "Check USB connection and select Device again";
  const std::string placeholder =
      "OpenDevice: Placeholder firmware, for the emulated board only: put the board maker's "
      "image at /h/bix/dravik.bi2";
  struct Case {
    std::int16_t link;
    int testFlags;
    std::string errorText, prompt;
  };
  const Case cases[] = {
      {kLinkNone, 0, "", ""},
      {kLinkUsb, kTestLibraryErrorText, "OpenDevice: No USB device found",
       usb + "\r\nOpenDevice: No USB device found"},
      // The placeholder firmware refused for a real board is said without the test bit.
      {kLinkUsb, 0, placeholder, usb + "\r\n" + placeholder},
  };
  for (const Case& c : cases) {
    messages.shown.clear();
    session.connection.link = c.link;
    session.connection.testFlags = c.testFlags;
    library.errorText = c.errorText;
    ShowBoardError(session);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].prompt, c.prompt);
    EXPECT_EQ(messages.shown[0].buttons, markup::MB_OK);
  }
  messages.shown.clear();
  ShowVerifyFailure(session);
  for (const std::int16_t noHardware : {10, 11, 12, 14, 15}) {
    session.connection.busType = noHardware;
    ShowVerifyFailure(session);
  }
  session.connection.busType = 13;  // a part without chip still checks
  ShowVerifyFailure(session);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].prompt,
            "Registers do not match part\r\nVerify Hardware Connection and Proper Part");
  EXPECT_EQ(messages.CallsTo("StopContinuous").size(), 2u);
}

// A library that does not load fails every call, says why in its last
// error, and the board error shows that once.
TEST(LibraryBinding, AMissingLibraryFailsTheCallsAndIsShownOnce) {
  markup::MarkupStore store;
  LibraryBinding binding({"/nonexistent/libdravik.so.0"});
  test_support::RecordingFrontEnd messages;
  Session session(store, binding, messages);
  session.connection.link = kLinkUsb;
  std::array<std::uint16_t, 2> vidPid = {0x0400, 0x1234};
  DeviceHandle handle = kNoDevice;
  EXPECT_FALSE(session.Bridge().OpenBoard(0, "dravik", vidPid, 0, "", handle));
  EXPECT_EQ(handle, kNoDevice);
  std::int16_t count = 1;
  const std::int16_t reg = 0;
  std::uint8_t data = 0x55;
  EXPECT_EQ(binding.ReadDevice(1, 0, 2, 0x48, &reg, &data, &count), 0);
  EXPECT_EQ(data, 0x55);
  EXPECT_NE(binding.BindingError().find("Cannot load the device library libdravik.so.0"),
            std::string::npos);
  std::array<char, kErrorTextSize> buffer{};
  EXPECT_EQ(binding.LastErrorDevice(buffer.data()), 1);
  EXPECT_EQ(std::string(buffer.data()), binding.BindingError().substr(0, kErrorTextSize - 1));
  ShowBoardError(session);
  ShowBoardError(session);
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].prompt,
            "Check USB connection and select Device again\r\n" + binding.BindingError());
  EXPECT_EQ(messages.shown[1].prompt, "Check USB connection and select Device again");

  LibraryBinding wrong({"libm.so.6"});
  EXPECT_FALSE(wrong.Bind());
  EXPECT_EQ(wrong.BindingError(), "The device library libm.so.6 has no export OpenDevice");
  EXPECT_EQ(wrong.CloseDevice(3), 0);
  EXPECT_TRUE(wrong.LoadedPath().empty());
}

}  // namespace
}  // namespace kestrova::engine
