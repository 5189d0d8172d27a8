#include "engine/connection.hpp"

#include <gtest/gtest.h>

#include "engine/part_loader.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;
using Addrs = std::vector<std::int16_t>;
using Bytes = std::vector<std::uint8_t>;

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

TEST_F(Connection, ReadsTheHardwareEntriesUpToFourInLowerCase) {
  EXPECT_TRUE(info.hasPart);
  EXPECT_EQ(info.partLabel, "Sensor");
  ASSERT_EQ(info.hardware.size(), 4u);
  EXPECT_EQ(info.hardware[0].type, "usb");
  EXPECT_EQ(info.hardware[1].label, "Adapter");
  EXPECT_EQ(info.hardware[3].label, "Second adapter");
  EXPECT_EQ(info.interfaceType, "i2c");
  EXPECT_EQ(info.defaultAddress, 0x48);
  EXPECT_EQ(info.addressLabel, "I2C Address");
  EXPECT_EQ(info.addressChoices, (std::vector<std::string>{"48", "4A"}));
}

TEST_F(Connection, ChoosesTheEntryOfTheDriverClassElseTheFirst) {
  EXPECT_EQ(ChooseHardwareEntry(info.hardware, "ich"), 1);
  EXPECT_EQ(ChooseHardwareEntry(info.hardware, "none"), 2);
  EXPECT_EQ(ChooseHardwareEntry(info.hardware, "no"), 0);
  EXPECT_EQ(ChooseHardwareEntry({}, "usb"), -1);
}

TEST(BusTypeTable, MapsEveryInterfaceOnEveryLink) {
  const std::vector<std::pair<std::string, std::array<int, 3>>> table = {
      {"i2c", {2, 3, 11}},      {"microwire", {1, 1, 10}},     {"singlewire", {4, 4, 12}},
      {"nochip", {13, 13, 13}}, {"microwirefour", {6, 6, 14}}, {"spiqx5", {7, 7, 15}}};
  for (const auto& [type, codes] : table) {
    for (std::int16_t link = 0; link < 3; ++link) {
      EXPECT_EQ(BusTypeFor(type, link), codes[static_cast<std::size_t>(link)]) << type << link;
    }
  }
  EXPECT_FALSE(BusTypeFor("I2C", kLinkUsb));
  EXPECT_FALSE(BusTypeFor("i2c", 3));
}

TEST_F(Connection, UsbOpensTheBoardThenWritesItsPortsInOrder) {
  const ConnectionResult result = ConnectHardware(session, info, "usb", -1, "/home/k");
  ASSERT_TRUE(result.opened);
  EXPECT_EQ(result.windowTitle, "Sensor Board");
  const auto opens = library.CallsOf("OpenDevice");
  ASSERT_EQ(opens.size(), 1u);
  EXPECT_EQ(opens[0].busType, kLinkUsb);  // the recorder keeps the link there
  EXPECT_EQ(opens[0].driverName, "dravik");
  EXPECT_EQ(opens[0].firmwarePath, "/home/k/bix/dravik.bix");
  EXPECT_EQ(opens[0].registers, (Addrs{0x0400, 0x1100}));
  const auto writes = library.CallsOf("WriteDevice");
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].busType, 0);
  EXPECT_EQ(writes[0].deviceAddress, 0);
  EXPECT_EQ(writes[0].registers, (Addrs{0x400}));
  EXPECT_EQ(writes[0].data, (Bytes{1}));
  EXPECT_EQ(writes[1].registers, (Addrs{0x401}));
  EXPECT_EQ(writes[1].data, (Bytes{3}));
  EXPECT_EQ(session.connection.link, kLinkUsb);
  EXPECT_EQ(session.connection.deviceHandle, 7);
  EXPECT_EQ(session.connection.busType, 2);
  EXPECT_EQ(session.connection.deviceAddress, 0x48);
  EXPECT_EQ(session.connection.interfaceAddressCaption, "I2C Address");
  EXPECT_EQ(result.addressChoice, 0);
}

TEST_F(Connection, SmbusOpensTheNamedDriverWithItsPort) {
  const ConnectionResult result = ConnectHardware(session, info, "ich", 0x4A, "/home/k");
  ASSERT_TRUE(result.opened);
  const auto opens = library.CallsOf("OpenDevice");
  ASSERT_EQ(opens.size(), 1u);  // the second "ich" entry opens nothing
  EXPECT_EQ(opens[0].busType, kLinkSmbus);
  EXPECT_EQ(opens[0].driverName, "/dev/i2c-7");
  EXPECT_EQ(opens[0].firmwarePath, "");
  EXPECT_TRUE(library.CallsOf("WriteDevice").empty());
  EXPECT_EQ(session.connection.port, 2);
  EXPECT_EQ(session.connection.busType, 3);
  // The part settings' address wins over the definition's.
  EXPECT_EQ(session.connection.deviceAddress, 0x4A);
  EXPECT_EQ(result.addressChoice, 1);
}

TEST_F(Connection, OtherEntriesRunWithoutHardware) {
  const ConnectionResult result = ConnectHardware(session, info, "none", -1, "/home/k");
  ASSERT_TRUE(result.opened);
  EXPECT_TRUE(library.calls.empty());
  EXPECT_EQ(session.connection.link, kLinkNone);
  EXPECT_EQ(session.connection.deviceHandle, kNoDevice);
  EXPECT_EQ(session.connection.busType, 11);
  EXPECT_EQ(result.addressChoice, -1);  // no address list without hardware
  EXPECT_TRUE(messages.shown.empty());
}

// The board opens but refuses its port writes.
class PortWritesFail : public RecordingDeviceLibrary {
 public:
  std::uint8_t WriteDevice(DeviceHandle handle, std::uint8_t port, std::int16_t busType,
                           std::int16_t deviceAddress, const std::int16_t* registers,
                           const std::uint8_t* data, std::int16_t* count) override {
    RecordingDeviceLibrary::WriteDevice(handle, port, busType, deviceAddress, registers, data,
                                        count);
    return 0;
  }
};

TEST_F(Connection, AFailedPortWriteIsAConnectionFailure) {
  PortWritesFail failing;
  Session other(store, failing, messages);
  EXPECT_FALSE(ConnectHardware(other, info, "usb", -1, "/home/k").opened);
  EXPECT_EQ(failing.CallsOf("WriteDevice").size(), 1u);  // the second port is not written
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "Check USB connection and select Device again");
}

TEST_F(Connection, StartupListsHoldOneEntryPerConsecutiveAddress) {
  ConnectHardware(session, info, "usb", -1, "/home/k");
  ASSERT_TRUE(CollectStartupLists(session));
  const StartupList& writes = session.startupWriteList;
  ASSERT_EQ(writes.count, 3);
  EXPECT_EQ(writes.registerAddress[0], 1);
  EXPECT_EQ(writes.data[0], 0x25);
  EXPECT_EQ(writes.registerAddress[1], 0x82);  // the write address
  EXPECT_EQ(writes.data[1], 0x01);
  EXPECT_EQ(writes.registerAddress[2], 0x120);
  EXPECT_EQ(writes.data[2], 0x62);
  EXPECT_EQ(writes.busType[0], 2);
  EXPECT_EQ(writes.deviceAddress[2], 0x48);
  const StartupList& reads = session.startupReadList;
  ASSERT_EQ(reads.count, 2);
  EXPECT_EQ(reads.registerAddress[0], 1);
  EXPECT_EQ(reads.registerAddress[1], 2);  // the read address
}

}  // namespace
}  // namespace kestrova::engine
