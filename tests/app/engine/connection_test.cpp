// The board link: the bridge against a recording library, the library
// binding's refusals, board messages, and connecting to the hardware a part
// lists.
#include "engine/connection.hpp"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "../markup/temp_folder.hpp"
#include "engine/board_bridge.hpp"
#include "engine/library_binding.hpp"
#include "engine/part_loader.hpp"
#include "engine/register_access.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

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
  EXPECT_EQ(messages.Prompts(),
            "Register value 300 does not fit 8 bits|Register value -1 does not fit 8 bits");
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
  EXPECT_EQ(testing::CallsText(library) + messages.Prompts(), "");
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

// The placeholder firmware refused for a real board is said without the
// test bit (the library's other texts only with it, as the Start tests
// show); buses without a chip give no verify failure. The plain USB and
// SMBus texts and the verify failure with the chip address are shown by the
// register operations' tests.
TEST_F(BridgeTest, BoardErrorAndVerifyFailureMessages) {
  const std::string placeholder =
      "OpenDevice: Placeholder firmware, for the emulated board only: put the board maker's "
      "image at /h/bix/dravik.bi2";
  library.errorText = placeholder;
  ShowBoardError(session);
  for (const std::int16_t busType : {10, 11, 12, 13, 14, 15}) {  // 13: a part without chip
    session.connection.busType = busType;
    ShowVerifyFailure(session);
  }
  EXPECT_EQ(messages.Prompts(), "Check USB connection and select Device again\r\n" + placeholder +
                                    "|Registers do not match part\r\nVerify Hardware Connection "
                                    "and Proper Part");
  EXPECT_EQ(messages.CallsTo("StopContinuous").size(), 1u);
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
  const std::string usb = "Check USB connection and select Device again";
  EXPECT_EQ(messages.Prompts(), usb + "\r\n" + binding.BindingError() + "|" + usb);

  LibraryBinding wrong({"libm.so.6"});
  EXPECT_FALSE(wrong.Bind());
  EXPECT_EQ(wrong.BindingError(), "The device library libm.so.6 has no export OpenDevice");
  EXPECT_EQ(wrong.CloseDevice(3), 0);
  EXPECT_TRUE(wrong.LoadedPath().empty());
}

// Five hardware entries (four count), an address list, and registers written
// at start-up: one read back after, one spread over a read and a write
// address, one further on.
const char* kPart =
    ">driver >>add type=USB label=Board vid=0400 pid=1100 >>>port addr=400 value=1 >>>port "
    "addr=401 value=3 >>add type=ich label=Adapter driver=/dev/i2c-7 Part=2 >>add type=none "
    "label=Simulation >>add type=ich label='Second adapter' >>add type=usb label='Fifth entry' "
    ">interface type=i2c >>addr value=48 label='I2C Address' >>>add type=combo >>>>combo label=48 "
    ">>>>combo label=4A >register writeonstartup=true readafterwriteonstartup=true >>bitfield "
    "addr=1 bit=7:4 value=2 >>bitfield addr=1 bit=3:0 value=5 >>bitfield addr=2:82 bit=0 value=1 "
    ">register >>bitfield addr=3 bit=7:0 value=9 >register writeonstartup=true >>bitfield "
    "addr=120 bit=6:5 value=3 >>>add type=combo >>>>combo label=a >>bitfield addr=120 bit=1 "
    "value=1";

class Connection : public EngineTest {
 protected:
  Connection() {
    session.connection = ConnectionValues{};
    EXPECT_TRUE(store.LoadMarkupText(kestrova::testing::PartText(kPart, "label=Sensor")));
    session.OnPartOpened();
    info = ReadPartConnectionInfo(store);
  }
  PartConnectionInfo info;
};

// USB opens the board with its firmware, then writes its ports in order; an
// "ich" entry opens its named driver (the second opens nothing); other
// entries run without hardware, each with its bus type. The part settings'
// address wins over the definition's. A failed port write fails the
// connection.
TEST_F(Connection, EachEntryOpensItsHardware) {
  // Four hardware entries count, in lower case; the one of the driver class
  // is chosen, else the first.
  EXPECT_TRUE(info.hasPart);
  std::string hardware;
  for (const HardwareEntry& entry : info.hardware) {
    hardware += entry.type + ":" + entry.label + " ";
  }
  EXPECT_EQ(hardware, "usb:Board ich:Adapter none:Simulation ich:Second adapter ");
  EXPECT_EQ(ChooseHardwareEntry(info.hardware, "ich"), 1);
  EXPECT_EQ(ChooseHardwareEntry(info.hardware, "none"), 2);
  EXPECT_EQ(ChooseHardwareEntry(info.hardware, "no"), 0);
  EXPECT_EQ(ChooseHardwareEntry({}, "usb"), -1);
  EXPECT_FALSE(BusTypeFor("I2C", kLinkUsb));
  EXPECT_FALSE(BusTypeFor("i2c", 3));
  const struct {
    const char* driverClass;
    int address;
    const char* calls;
    const char* connection;  // link, handle, bus type, port, device address, caption
    int addressChoice;
    const char* title;
  } cases[] = {
      {"usb", -1,
       "OpenDevice -1 0 0 0 400 1100 dravik /home/k/bix/dravik.bix|WriteDevice 7 0 0 0 400=01|"
       "WriteDevice 7 0 0 0 401=03",
       "0 7 2 0 48 I2C Address", 0, "Sensor Board"},
      {"ich", 0x4A, "OpenDevice -1 0 1 0 0 0 /dev/i2c-7 ", "1 7 3 2 4A I2C Address", 1,
       "Sensor Adapter"},
      {"none", -1, "", "2 -1 11 0 48 I2C Address", -1, "Sensor Simulation"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.driverClass);
    library.calls.clear();
    session.connection = ConnectionValues{};
    const ConnectionResult result =
        ConnectHardware(session, info, c.driverClass, c.address, "/home/k");
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.windowTitle, c.title);
    EXPECT_EQ(testing::CallsText(library), c.calls);
    const ConnectionValues& v = session.connection;
    EXPECT_EQ(std::to_string(v.link) + " " + std::to_string(v.deviceHandle) + " " +
                  std::to_string(v.busType) + " " + std::to_string(v.port) + " " +
                  definition::HexText(static_cast<std::uint32_t>(v.deviceAddress)) + " " +
                  v.interfaceAddressCaption,
              c.connection);
    EXPECT_EQ(result.addressChoice, c.addressChoice);
  }
  EXPECT_TRUE(messages.shown.empty());
  // The board opens but refuses its port writes.
  library.calls.clear();
  library.failingCalls = "WriteDevice";
  EXPECT_FALSE(ConnectHardware(session, info, "usb", -1, "/home/k").opened);
  EXPECT_EQ(
      testing::CallsText(library),  // the second port is not written
      "OpenDevice -1 0 0 0 400 1100 dravik /home/k/bix/dravik.bix|WriteDevice 7 0 0 0 400=01");
  EXPECT_EQ(messages.Prompts(), "Check USB connection and select Device again");
}

// The start-up lists hold one entry per consecutive address, writes by write
// address and reads by read address, and go out over the connection as it is
// when they are sent; the write is applied, the read is not.
TEST_F(Connection, StartupListsGoOutOverTheConnection) {
  ConnectHardware(session, info, "usb", -1, "/home/k");
  ASSERT_TRUE(CollectStartupLists(session));
  library.calls.clear();
  session.connection.deviceAddress = 0x4A;
  library.readings[1] = {0x77};
  EXPECT_TRUE(WritePendingList(session));
  EXPECT_TRUE(ReadPendingList(session));
  EXPECT_EQ(testing::CallsText(library),
            "WriteDevice 7 0 2 4A 1=25 82=01 120=62|ReadDevice 7 0 2 4A 1=77 2=00");
  EXPECT_EQ(session.images.deviceImage[1], 0x25);
  EXPECT_EQ(Bitfield(1), "2");

  library.failuresLeft = 2;
  EXPECT_FALSE(WritePendingList(session));
  EXPECT_FALSE(ReadPendingList(session));
  EXPECT_EQ(messages.shown.size(), 2u);
  session.startupWriteList.count = session.startupReadList.count = 0;
  library.calls.clear();
  EXPECT_TRUE(WritePendingList(session) && ReadPendingList(session));
  EXPECT_TRUE(library.calls.empty());
}

}  // namespace
}  // namespace kestrova::engine
