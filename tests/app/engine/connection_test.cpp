#include "engine/connection.hpp"

#include <gtest/gtest.h>

#include "engine/part_loader.hpp"
#include "engine/register_operations.hpp"
#include "engine_fixture.hpp"

namespace kestrova::engine {
namespace {

using testing::EngineTest;

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

// Four hardware entries count, in lower case; the one of the driver class is
// chosen, else the first. (The part's label, interface and chip address show
// in what each entry opens, below.)
TEST_F(Connection, ReadsTheHardwareEntriesAndChoosesOne) {
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
  // The bus type of each link shows in what each entry opens, below.
  EXPECT_FALSE(BusTypeFor("I2C", kLinkUsb));
  EXPECT_FALSE(BusTypeFor("i2c", 3));
}

// USB opens the board with its firmware, then writes its ports in order; an
// "ich" entry opens its named driver (the second opens nothing); other
// entries run without hardware. The part settings' address wins over the
// definition's.
TEST_F(Connection, EachEntryOpensItsHardware) {
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
}

// The board opens but refuses its port writes.
TEST_F(Connection, AFailedPortWriteIsAConnectionFailure) {
  library.failingCalls = "WriteDevice";
  EXPECT_FALSE(ConnectHardware(session, info, "usb", -1, "/home/k").opened);
  EXPECT_EQ(library.CallsOf("WriteDevice").size(), 1u);  // the second port is not written
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].prompt, "Check USB connection and select Device again");
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
