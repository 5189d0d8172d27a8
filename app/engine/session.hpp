#pragma once
// The state of one run of the program that every front end shares: the
// loaded definition (markup store), the connection values, the byte images
// and pending-change flags, the start-up lists and the
// front end that shows messages and answers questions. The window, the continuous read and the
// command-line tool all drive the engine through one Session; there are no hidden globals.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/address_index.hpp"
#include "engine/board_bridge.hpp"
#include "engine/definition_layout.hpp"
#include "engine/device_library.hpp"
#include "engine/front_end.hpp"
#include "engine/register_images.hpp"
#include "engine/transfer_list.hpp"

namespace kestrova::markup {
class MarkupStore;
}  // namespace kestrova::markup

namespace kestrova::engine {

// Links of the connection.
inline constexpr std::int16_t kLinkUsb = 0;
inline constexpr std::int16_t kLinkSmbus = 1;
inline constexpr std::int16_t kLinkNone = 2;

// Bits of the startup file's test mask.
inline constexpr std::uint8_t kTestShowRawDialog = 1;
inline constexpr std::uint8_t kTestIgnoreFailures = 2;
inline constexpr std::uint8_t kTestLibraryErrorText = 4;
inline constexpr std::uint8_t kTestWriteLog = 8;
inline constexpr std::uint8_t kTestSkipCheckValue = 16;

// True for the bus codes of parts run without hardware (10, 11, 12, 14, 15).
bool IsNoHardwareBus(std::int16_t busType);

struct ConnectionValues {
  DeviceHandle deviceHandle = kNoDevice;
  std::int16_t link = kLinkNone;
  std::int16_t port = 0;
  std::int16_t busType = 0;
  std::int16_t deviceAddress = -1;
  std::uint8_t testFlags = 0;
  // The chip address as the main window shows it (`IfaceAddr`).
  std::string interfaceAddressCaption;
  // The device's working folder, home of write.log.
  std::string deviceFolder;
  // The driver name of the last open (set before it, so a failure can name it).
  std::string driverName;
};

// The registers written and read back when a part is opened.
struct StartupList {
  std::array<std::int16_t, kTransferListSize> busType{};
  std::array<std::int16_t, kTransferListSize> deviceAddress{};
  std::array<std::int16_t, kTransferListSize> registerAddress{};
  std::array<std::uint8_t, kTransferListSize> data{};
  // The bits of each byte that the listed registers' fields do not hold
  // (write list): written as the registers sharing the byte show them.
  std::array<std::uint8_t, kTransferListSize> sharedBits{};
  std::int16_t count = 0;
};

// Flags of the edit path that a write clears.
struct WriteOnChangeFlags {
  bool writeOnChangeArmed = false;
  bool notWriteOnce = false;
};

class Session {
 public:
  Session(markup::MarkupStore& store, DeviceLibrary& library, EngineFrontEnd& frontEnd);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  markup::MarkupStore& Store() { return store_; }
  BoardBridge& Bridge() { return bridge_; }
  DeviceLibrary& Library() { return bridge_.Library(); }
  EngineFrontEnd& Front() { return frontEnd_; }
  markup::MessageBox& Messages() { return frontEnd_; }

  // A new part definition was loaded: the definition's layout is read afresh.
  void OnPartOpened();

  // The layout of the loaded definition, read when first needed. Nothing
  // when the definition breaks the engine's limits (the reason is in
  // LayoutProblem()).
  const DefinitionLayout* Layout();
  const std::string& LayoutProblem() const { return layoutProblem_; }

  // Shows a message with an OK button.
  void ShowMessage(const std::string& text);

  // Scratch index of list positions by address, reused by every transfer.
  AddressIndex& ScratchIndex() { return scratchIndex_; }

  bool IgnoreFailures() const { return (connection.testFlags & kTestIgnoreFailures) != 0; }

  ConnectionValues connection;
  RegisterImages images;
  StartupList startupWriteList;
  StartupList startupReadList;
  WriteOnChangeFlags writeOnChange;
  bool readAfterWrite = true;  // the "Read After Write" box

 private:
  markup::MarkupStore& store_;
  BoardBridge bridge_;
  EngineFrontEnd& frontEnd_;
  AddressIndex scratchIndex_;
  std::unique_ptr<DefinitionLayout> layout_;
  std::string layoutProblem_;
  bool layoutRead_ = false;
  int layoutLineCount_ = 0;
};

}  // namespace kestrova::engine
