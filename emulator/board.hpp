// The evaluation board as the USB host sees it, independent of how requests
// reach it (the in-process driver adapter, or a gadget program serving it
// through a real USB device controller).
//
// Power-up: the bare EZ-USB core enumerates with its identity (string
// indexes 0, no bulk endpoints) and holds the CPU in reset. Vendor request
// 0xA0 writes the 0x2000-byte code memory (only while the CPU is held in
// reset) and the CPU control register (0x7F92 or 0xE600 by board class).
// Releasing the reset boots the image in code memory when it spans 4096 to
// 8192 bytes from address 0: the board disconnects and re-enumerates
// (Generation() changes) with iManufacturer 1, iProduct 2 and the vendor
// and product ID the image holds at 0x0F08..0x0F0B (little-endian). The
// firmware then takes command packets on bulk OUT 0x01 and answers read
// requests on bulk IN 0x81.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "emulator/board_class.hpp"
#include "emulator/buses.hpp"
#include "emulator/descriptors.hpp"
#include "emulator/faults.hpp"
#include "emulator/firmware.hpp"
#include "emulator/usb_types.hpp"

namespace kestrova::emulator {

constexpr uint32_t kCodeMemorySize = 0x2000;
constexpr uint32_t kMinImageSize = 4096;
constexpr uint32_t kMaxImageSize = 8192;
constexpr uint32_t kImageVendorIdOffset = 0x0F08;
constexpr uint32_t kImageProductIdOffset = 0x0F0A;
// Responses the firmware buffers before it stops taking commands.
constexpr size_t kResponseSlots = 2;

class Board {
 public:
  // coreIdentity: what the bare core presents (its identity EEPROM, or the
  // boot IDs 0x04B4 and the class's product ID when it has none).
  Board(BoardClass boardClass, BoardIdentity coreIdentity, std::shared_ptr<Buses> buses);
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  BoardClass Class() const { return boardClass_; }
  const std::shared_ptr<Buses>& GetBuses() const { return buses_; }

  // --- presence on the bus
  bool Connected() const;
  // Changes at every disconnect and every re-enumeration: handles opened
  // before no longer reach the board.
  uint32_t Generation() const;
  bool FirmwareRunning() const;
  bool CpuHeldInReset() const;
  BoardIdentity PresentedIdentity() const;
  // Pulls the cable: power is lost, and with it the firmware.
  void Unplug();
  // Plugs the board in (again): a bare core holding its CPU in reset.
  void Replug();
  // The board was kept powered with this firmware image running (a state
  // kept between processes): as after its download and boot. False, and
  // nothing changed, for an image the core would not boot.
  bool BootFrom(const std::vector<uint8_t>& image);
  // Called, with the board's lock held, with the image at every boot and
  // with an empty one when power is lost.
  void SetFirmwareObserver(std::function<void(const std::vector<uint8_t>& image)> observer);
  // After a disconnect fault the board is found again at the next search
  // for boards (the user plugs it back in) unless this is switched off.
  bool ReplugsOnSearch() const;
  void SetReplugsOnSearch(bool replug);
  // After the firmware boots, the board stays off the bus for this many
  // searches for boards before it shows up with its new identity (default
  // 0: it is back at the next search).
  void SetReEnumerationSearches(uint32_t searches);
  // A search for boards looks at the bus: a board coming back from a
  // re-enumeration or a disconnect may appear. True when it is present.
  bool NoteSearch();

  // --- endpoint 0. outData: wLength bytes for a request to the device;
  // inData: room for wLength bytes for a request to the host.
  UsbOutcome Control(const SetupPacket& setup, const uint8_t* outData, uint8_t* inData,
                     size_t* moved);

  // --- bulk endpoints
  UsbOutcome BulkOut(uint8_t endpoint, const uint8_t* data, size_t length, size_t* moved);
  UsbOutcome BulkIn(uint8_t endpoint, uint8_t* data, size_t length, size_t* moved);
  // Cancels what is pending on an endpoint; on the response endpoint the
  // response held for the host is dropped.
  void Abort(uint8_t endpoint);
  size_t ResponsesQueued() const;

  // --- descriptors as presented now
  std::vector<uint8_t> DeviceDescriptor() const;
  std::vector<uint8_t> ConfigurationDescriptor() const;
  std::optional<std::vector<uint8_t>> StringDescriptor(uint8_t index) const;

  // --- for tests
  FaultPlan& Faults() { return faults_; }
  const Firmware& GetFirmware() const { return firmware_; }
  std::vector<uint8_t> CodeMemory() const;
  // The image the firmware last booted from (empty before the first boot).
  std::vector<uint8_t> BootedImage() const;
  uint32_t Boots() const;
  // Code-memory write requests taken since the CPU was last put in reset.
  uint32_t DownloadRequests() const;
  // Why the last release of the reset did not boot (empty when it did).
  std::string LastBootProblem() const;

 private:
  UsbOutcome StandardRequest(const SetupPacket& setup, const uint8_t* outData, uint8_t* inData,
                             size_t* moved);
  UsbOutcome FirmwareLoad(const SetupPacket& setup, const uint8_t* outData, uint8_t* inData,
                          size_t* moved);
  void SetCpuReset(bool hold);
  void UnplugLocked();
  bool IsFirmwareEndpoint(uint8_t endpoint) const;

  const BoardClass boardClass_;
  const BoardIdentity coreIdentity_;
  std::shared_ptr<Buses> buses_;
  Firmware firmware_;

  mutable std::mutex mutex_;
  bool connected_ = true;
  bool replugOnSearch_ = true;
  uint32_t reEnumerationSearches_ = 0;
  uint32_t absentSearches_ = 0;  // searches left before a re-enumerating board is back
  bool reEnumerating_ = false;
  uint32_t generation_ = 1;
  bool cpuReset_ = true;
  bool firmwareRunning_ = false;
  BoardIdentity firmwareIdentity_{};
  std::vector<uint8_t> code_;
  std::vector<bool> written_;
  std::vector<uint8_t> bootedImage_;
  std::function<void(const std::vector<uint8_t>&)> firmwareObserver_;
  uint32_t boots_ = 0;
  uint32_t downloadRequests_ = 0;
  std::string lastBootProblem_;
  std::deque<Response> responses_;
  FaultPlan faults_;
};

}  // namespace kestrova::emulator
