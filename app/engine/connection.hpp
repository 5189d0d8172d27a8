#pragma once
// Opening a part's hardware without any dialog: the hardware entries the
// definition offers, the choice among them, the library open with the board's
// start-up port writes, the bus type and chip address of the part, and the
// chip-address choices. The window shows the same facts in its hardware
// dialog and address drop-down; the command-line tool picks by option.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::markup {
class MarkupStore;
}

namespace kestrova::engine {

class Session;

// The hardware dialog has room for this many entries; later ones are ignored.
inline constexpr int kMaxHardwareEntries = 4;

// Driver names used when a hardware entry names none.
inline constexpr std::string_view kDefaultUsbDriver = "dravik";
inline constexpr std::string_view kDefaultSmbusDriver = "dravik_i2c";

// One `driver`/`add` entry: a way to reach the part.
struct HardwareEntry {
  std::string type;   // lower case: "usb", "ich", or any other word for no hardware
  std::string label;  // the entry's own label
  int line = 0;       // xmlfileindex of the entry
};

// What the definition says about reaching the part.
struct PartConnectionInfo {
  bool hasPart = false;
  std::string partLabel;                       // the window title
  std::vector<HardwareEntry> hardware;         // at most kMaxHardwareEntries
  std::string interfaceType;                   // "i2c", "microwire", ...
  std::optional<std::int32_t> defaultAddress;  // `interface`/`addr` `value`
  std::string addressLabel;                    // `interface`/`addr` `label`
  std::vector<std::string> addressChoices;     // labels of its "combo" list
};

// Reads the part's label, hardware entries, interface and address choices
// from the loaded definition (cursor restored).
PartConnectionInfo ReadPartConnectionInfo(markup::MarkupStore& store);

// The index of the entry whose type is `driverClass`; 0 when none is, -1 when
// there are no entries.
int ChooseHardwareEntry(const std::vector<HardwareEntry>& hardware, std::string_view driverClass);

// The bus-type code of an interface keyword on a link; empty for a keyword
// the table does not know (the bus type then stays as it was).
std::optional<std::int16_t> BusTypeFor(std::string_view interfaceType, std::int16_t link);

// The link a hardware entry type opens: "usb" the board, "ich" the SMBus
// controller, anything else no hardware.
std::int16_t LinkFor(std::string_view hardwareType);

struct ConnectionResult {
  bool opened = false;      // the hardware (or "no hardware") is ready
  std::string windowTitle;  // part label, a space and the chosen entry's label
  int addressChoice = -1;   // index into addressChoices equal to the chip address
  std::string driverName;   // the driver name used for the open
};

// Opens the chosen hardware entry (`driverClass`, the entry's type) for the
// session: link, port, handle, bus type, chip address (the part settings'
// address when set, else the definition's), and the address caption. A failed
// open or board port write shows the board error and leaves `opened` false.
// `programFolder` locates the firmware images. `smbusAdapter`, when not
// empty, is the driver name of the SMBus link instead of the entry's
// ("1" or "/dev/i2c-1" for the user's adapter).
ConnectionResult ConnectHardware(Session& session, const PartConnectionInfo& info,
                                 std::string_view driverClass, std::int16_t settingsAddress,
                                 const std::string& programFolder,
                                 std::string_view smbusAdapter = {});

// Sets the chip address and the address choice that shows it (the window's
// address drop-down); -1 when no choice equals it.
int SelectAddressChoice(const PartConnectionInfo& info, std::int16_t deviceAddress);

}  // namespace kestrova::engine
