#include "engine/connection.hpp"

#include <array>

#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "definition/schema.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"
#include "markup/cursor_keeper.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

// Depths of the elements the connection reads.
constexpr int kPartLevel = 1;
constexpr int kDriverLevel = 2;
constexpr int kEntryLevel = 3;
constexpr int kPortLevel = 4;
constexpr int kInterfaceLevel = 2;
constexpr int kAddressLevel = 3;
constexpr int kAddressListLevel = 4;
constexpr int kAddressChoiceLevel = 5;

bool PositionOnPart(markup::MarkupStore& store) {
  store.SetXmlFileIndex(0);
  return store.FindElement(0, "definition") && store.FindElement(kPartLevel, "part");
}

void ReadAddressChoices(markup::MarkupStore& store, PartConnectionInfo& info) {
  const int addrLine = store.XmlFileIndex();
  while (store.FindElement(kAddressListLevel, "add")) {
    if (store.GetAttributeView("type") != "combo") {
      continue;
    }
    while (store.FindElement(kAddressChoiceLevel, "combo")) {
      info.addressChoices.push_back(store.GetAttribute("label"));
    }
    break;
  }
  store.SetXmlFileIndex(addrLine);
}

// The board's start-up port writes of a USB entry, in file order.
bool WritePortSettings(Session& session, int entryLine) {
  markup::MarkupStore& store = session.Store();
  store.SetXmlFileIndex(entryLine);
  while (store.FindElement(kPortLevel, "port")) {
    const definition::PortSetting port = definition::ReadPortSetting(store);
    const int line = store.XmlFileIndex();
    const bool ok = session.Bridge().WriteBoardByte(
        session.connection.deviceHandle, static_cast<std::int16_t>(port.addr.value_or(0)),
        static_cast<std::uint8_t>(port.value.value_or(0)));
    store.SetXmlFileIndex(line);
    if (!ok) {
      return false;
    }
  }
  return true;
}

}  // namespace

PartConnectionInfo ReadPartConnectionInfo(markup::MarkupStore& store) {
  markup::CursorKeeper cursor(store);
  PartConnectionInfo info;
  if (!PositionOnPart(store)) {
    return info;
  }
  info.hasPart = true;
  const int partLine = store.XmlFileIndex();
  info.partLabel = definition::ReadPart(store).label;
  if (store.FindElement(kDriverLevel, "driver")) {
    while (store.FindElement(kEntryLevel, "add")) {
      if (static_cast<int>(info.hardware.size()) >= kMaxHardwareEntries) {
        break;
      }
      const definition::DriverEntry entry = definition::ReadDriverEntry(store);
      info.hardware.push_back({entry.type, entry.label, store.XmlFileIndex()});
    }
  }
  store.SetXmlFileIndex(partLine);
  if (store.FindElement(kInterfaceLevel, "interface")) {
    info.interfaceType = definition::ReadInterface(store).type;
    if (store.FindElement(kAddressLevel, "addr")) {
      const definition::ChipAddress address = definition::ReadChipAddress(store);
      info.defaultAddress = address.value;
      info.addressLabel = address.label;
      ReadAddressChoices(store, info);
    }
  }
  return info;
}

int ChooseHardwareEntry(const std::vector<HardwareEntry>& hardware, std::string_view driverClass) {
  if (hardware.empty()) {
    return -1;
  }
  for (std::size_t i = 0; i < hardware.size(); ++i) {
    if (hardware[i].type == driverClass) {
      return static_cast<int>(i);
    }
  }
  return 0;
}

std::optional<std::int16_t> BusTypeFor(std::string_view interfaceType, std::int16_t link) {
  struct Row {
    std::string_view type;
    std::array<std::int16_t, 3> byLink;  // USB board, SMBus controller, no hardware
  };
  static constexpr std::array<Row, 6> kTable = {{
      {"i2c", {2, 3, 11}},
      {"microwire", {1, 1, 10}},
      {"singlewire", {4, 4, 12}},
      {"nochip", {13, 13, 13}},
      {"microwirefour", {6, 6, 14}},
      {"spiqx5", {7, 7, 15}},
  }};
  if (link < kLinkUsb || link > kLinkNone) {
    return std::nullopt;
  }
  for (const Row& row : kTable) {
    if (row.type == interfaceType) {
      return row.byLink[static_cast<std::size_t>(link)];
    }
  }
  return std::nullopt;
}

std::int16_t LinkFor(std::string_view hardwareType) {
  if (hardwareType == "usb") {
    return kLinkUsb;
  }
  if (hardwareType == "ich") {
    return kLinkSmbus;
  }
  return kLinkNone;
}

int SelectAddressChoice(const PartConnectionInfo& info, std::int16_t deviceAddress) {
  for (std::size_t i = 0; i < info.addressChoices.size(); ++i) {
    const auto value = definition::ParseHex(info.addressChoices[i]);
    if (value && static_cast<std::int16_t>(*value) == deviceAddress) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

ConnectionResult ConnectHardware(Session& session, const PartConnectionInfo& info,
                                 std::string_view driverClass, std::int16_t settingsAddress,
                                 const std::string& programFolder, std::string_view smbusAdapter) {
  ConnectionResult result;
  ConnectionValues& c = session.connection;
  markup::MarkupStore& store = session.Store();
  markup::CursorKeeper cursor(store);

  result.windowTitle = info.partLabel;
  c.port = 0;
  bool entryFound = false;
  for (const HardwareEntry& entry : info.hardware) {
    if (entry.type != driverClass) {
      continue;
    }
    // One open per choice: a second entry of the same type would open the
    // hardware again and lose the first handle.
    entryFound = true;
    result.windowTitle = info.partLabel + " " + entry.label;
    store.SetXmlFileIndex(entry.line);
    const definition::DriverEntry driver = definition::ReadDriverEntry(store);
    std::array<std::uint16_t, 2> vidPid = {static_cast<std::uint16_t>(driver.vid.value_or(0)),
                                           static_cast<std::uint16_t>(driver.pid.value_or(0))};
    c.link = LinkFor(entry.type);
    if (c.link == kLinkUsb) {
      result.driverName = driver.driver.empty() ? std::string(kDefaultUsbDriver) : driver.driver;
      c.driverName = result.driverName;
      const std::string firmware = definition::FirmwareImagePath(programFolder, result.driverName);
      if (!session.Bridge().OpenBoard(kLinkUsb, kDefaultUsbDriver, vidPid, 0, firmware,
                                      c.deviceHandle) ||
          !WritePortSettings(session, entry.line)) {
        ShowBoardError(session);
        return result;
      }
    } else if (c.link == kLinkSmbus) {
      result.driverName = !smbusAdapter.empty()   ? std::string(smbusAdapter)
                          : driver.driver.empty() ? std::string(kDefaultSmbusDriver)
                                                  : driver.driver;
      c.driverName = result.driverName;
      if (!session.Bridge().OpenBoard(kLinkSmbus, result.driverName, vidPid, 0, "",
                                      c.deviceHandle)) {
        ShowBoardError(session);
        return result;
      }
      if (driver.port) {
        c.port = static_cast<std::int16_t>(*driver.port);
      }
    } else {
      c.deviceHandle = kNoDevice;
    }
    break;
  }
  if (!entryFound) {
    // A choice the definition does not list runs the part without hardware.
    c.link = kLinkNone;
    c.deviceHandle = kNoDevice;
  }

  if (const auto bus = BusTypeFor(info.interfaceType, c.link)) {
    c.busType = *bus;
  }
  c.deviceAddress = settingsAddress;
  if (c.deviceAddress == -1 && info.defaultAddress) {
    c.deviceAddress = static_cast<std::int16_t>(*info.defaultAddress);
  }
  c.interfaceAddressCaption = info.addressLabel;
  if (!IsNoHardwareBus(c.busType)) {
    result.addressChoice = SelectAddressChoice(info, c.deviceAddress);
  }
  result.opened = true;
  return result;
}

}  // namespace kestrova::engine
