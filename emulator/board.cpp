#include "emulator/board.hpp"

#include <algorithm>
#include <cstring>

namespace kestrova::emulator {
namespace {

constexpr uint8_t kCpuResetBit = 0x01;
constexpr uint8_t kConfigurationValue = 1;
constexpr uint8_t kLongResponseFill = 0xFF;

uint16_t ReadWord(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

UsbOutcome Reply(const std::vector<uint8_t>& bytes, const SetupPacket& setup, uint8_t* inData,
                 size_t* moved) {
  const size_t length = std::min<size_t>(bytes.size(), setup.wLength);
  if (length > 0) {
    std::memcpy(inData, bytes.data(), length);
  }
  *moved = length;
  return UsbOutcome::kDone;
}

bool IsChipBus(uint8_t bus) {
  return bus == kBusMicrowire || bus == kBusI2c || bus == kBusSingleWire || bus == kBusSpi ||
         bus == kBusQx3Test;
}

}  // namespace

Board::Board(BoardClass boardClass, BoardIdentity coreIdentity, std::shared_ptr<Buses> buses)
    : boardClass_(boardClass),
      coreIdentity_(coreIdentity),
      buses_(buses ? std::move(buses) : std::make_shared<Buses>()),
      firmware_(*buses_),
      code_(kCodeMemorySize, 0),
      written_(kCodeMemorySize, false) {}

bool Board::Connected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return connected_;
}

uint32_t Board::Generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

bool Board::FirmwareRunning() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return firmwareRunning_;
}

bool Board::CpuHeldInReset() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cpuReset_;
}

BoardIdentity Board::PresentedIdentity() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return firmwareRunning_ ? firmwareIdentity_ : coreIdentity_;
}

void Board::Unplug() {
  std::lock_guard<std::mutex> lock(mutex_);
  UnplugLocked();
}

void Board::UnplugLocked() {
  connected_ = false;
  reEnumerating_ = false;
  ++generation_;
  firmwareRunning_ = false;
  cpuReset_ = true;
  std::fill(code_.begin(), code_.end(), 0);
  std::fill(written_.begin(), written_.end(), false);
  downloadRequests_ = 0;
  responses_.clear();
  if (firmwareObserver_) {
    firmwareObserver_({});
  }
}

void Board::Replug() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connected_) {
    UnplugLocked();
  }
  connected_ = true;
  ++generation_;
}

bool Board::BootFrom(const std::vector<uint8_t>& image) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (image.size() < kMinImageSize || image.size() > kMaxImageSize || !connected_) {
    return false;
  }
  std::copy(image.begin(), image.end(), code_.begin());
  std::fill(written_.begin(), written_.end(), false);
  std::fill_n(written_.begin(), image.size(), true);
  cpuReset_ = true;
  SetCpuReset(false);
  return firmwareRunning_;
}

void Board::SetFirmwareObserver(std::function<void(const std::vector<uint8_t>&)> observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  firmwareObserver_ = std::move(observer);
}

bool Board::ReplugsOnSearch() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return replugOnSearch_;
}

void Board::SetReplugsOnSearch(bool replug) {
  std::lock_guard<std::mutex> lock(mutex_);
  replugOnSearch_ = replug;
}

void Board::SetReEnumerationSearches(uint32_t searches) {
  std::lock_guard<std::mutex> lock(mutex_);
  reEnumerationSearches_ = searches;
}

bool Board::NoteSearch() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (connected_) {
    return true;
  }
  if (reEnumerating_) {
    if (absentSearches_ > 0) {
      --absentSearches_;
      return false;
    }
    reEnumerating_ = false;
    connected_ = true;
    return true;
  }
  if (!replugOnSearch_) {
    return false;
  }
  connected_ = true;  // plugged back in: a bare core (UnplugLocked cleared the rest)
  ++generation_;
  return true;
}

std::vector<uint8_t> Board::DeviceDescriptor() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return BuildDeviceDescriptor(boardClass_, firmwareRunning_ ? firmwareIdentity_ : coreIdentity_,
                               firmwareRunning_);
}

std::vector<uint8_t> Board::ConfigurationDescriptor() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return BuildConfigurationDescriptor(boardClass_, firmwareRunning_);
}

std::optional<std::vector<uint8_t>> Board::StringDescriptor(uint8_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return BuildStringDescriptor(index, firmwareRunning_);
}

UsbOutcome Board::Control(const SetupPacket& setup, const uint8_t* outData, uint8_t* inData,
                          size_t* moved) {
  *moved = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) {
    return UsbOutcome::kGone;
  }
  if (setup.wLength > 0 && (setup.IsIn() ? inData == nullptr : outData == nullptr)) {
    return UsbOutcome::kStall;
  }
  constexpr uint8_t kTypeStandard = 0;
  constexpr uint8_t kTypeVendor = 2;
  if (setup.Type() == kTypeStandard) {
    return StandardRequest(setup, outData, inData, moved);
  }
  if (setup.Type() == kTypeVendor && setup.bRequest == kRequestFirmwareLoad) {
    return FirmwareLoad(setup, outData, inData, moved);
  }
  return UsbOutcome::kStall;
}

UsbOutcome Board::StandardRequest(const SetupPacket& setup, const uint8_t* /*outData*/,
                                  uint8_t* inData, size_t* moved) {
  switch (setup.bRequest) {
    case kRequestGetDescriptor: {
      if (!setup.IsIn()) {
        return UsbOutcome::kStall;
      }
      const auto type = static_cast<uint8_t>(setup.wValue >> 8);
      const auto index = static_cast<uint8_t>(setup.wValue & 0xFF);
      const BoardIdentity identity = firmwareRunning_ ? firmwareIdentity_ : coreIdentity_;
      if (type == kDescriptorDevice) {
        return Reply(BuildDeviceDescriptor(boardClass_, identity, firmwareRunning_), setup, inData,
                     moved);
      }
      if (type == kDescriptorConfiguration && index == 0) {
        return Reply(BuildConfigurationDescriptor(boardClass_, firmwareRunning_), setup, inData,
                     moved);
      }
      if (type == kDescriptorString) {
        const auto text = BuildStringDescriptor(index, firmwareRunning_);
        if (text) {
          return Reply(*text, setup, inData, moved);
        }
      }
      return UsbOutcome::kStall;
    }
    case kRequestGetStatus:
      return Reply({0, 0}, setup, inData, moved);
    case kRequestGetConfiguration:
      return Reply({kConfigurationValue}, setup, inData, moved);
    case kRequestGetInterface:
      return Reply({0}, setup, inData, moved);
    case kRequestSetConfiguration:
      return setup.wValue <= kConfigurationValue ? UsbOutcome::kDone : UsbOutcome::kStall;
    case kRequestSetInterface:
      return setup.wValue == 0 && setup.wIndex == 0 ? UsbOutcome::kDone : UsbOutcome::kStall;
    case kRequestSetAddress:
      return UsbOutcome::kDone;
    default:
      return UsbOutcome::kStall;
  }
}

UsbOutcome Board::FirmwareLoad(const SetupPacket& setup, const uint8_t* outData, uint8_t* inData,
                               size_t* moved) {
  const uint16_t cpuRegister = TraitsOf(boardClass_).cpuControlRegister;
  const uint32_t address = setup.wValue;
  const uint32_t length = setup.wLength;
  if (address == cpuRegister) {
    if (length != 1) {
      return UsbOutcome::kStall;
    }
    if (setup.IsIn()) {
      inData[0] = cpuReset_ ? kCpuResetBit : 0;
      *moved = 1;
      return UsbOutcome::kDone;
    }
    if (faults_.Fire(FaultKind::kResetFailure)) {
      return UsbOutcome::kStall;
    }
    SetCpuReset((outData[0] & kCpuResetBit) != 0);
    *moved = 1;
    return UsbOutcome::kDone;
  }
  if (address + length > kCodeMemorySize) {
    return UsbOutcome::kStall;
  }
  if (setup.IsIn()) {
    std::copy_n(code_.begin() + address, length, inData);
    *moved = length;
    return UsbOutcome::kDone;
  }
  // The core writes code memory only while the CPU cannot run from it.
  if (!cpuReset_) {
    return UsbOutcome::kStall;
  }
  if (faults_.Fire(FaultKind::kDownloadFailure)) {
    return UsbOutcome::kStall;
  }
  std::copy_n(outData, length, code_.begin() + address);
  std::fill_n(written_.begin() + address, length, true);
  ++downloadRequests_;
  *moved = length;
  return UsbOutcome::kDone;
}

void Board::SetCpuReset(bool hold) {
  if (hold) {
    if (!cpuReset_) {
      downloadRequests_ = 0;
    }
    cpuReset_ = true;
    return;
  }
  if (!cpuReset_) {
    return;
  }
  cpuReset_ = false;
  // The CPU starts from code memory: the image is what has been written
  // from address 0 on. Anything else runs nowhere and never re-enumerates.
  const auto firstGap = std::find(written_.begin(), written_.end(), false);
  const auto extent = static_cast<uint32_t>(firstGap - written_.begin());
  const bool trailingWrites = std::find(firstGap, written_.end(), true) != written_.end();
  if (extent < kMinImageSize || extent > kMaxImageSize || trailingWrites) {
    lastBootProblem_ = extent == 0 ? "no image in code memory"
                                   : "code memory does not hold one image of 4096 to 8192 bytes";
    return;
  }
  lastBootProblem_.clear();
  bootedImage_.assign(code_.begin(), code_.begin() + extent);
  firmwareIdentity_ = {ReadWord(code_, kImageVendorIdOffset),
                       ReadWord(code_, kImageProductIdOffset)};
  firmwareRunning_ = true;
  ++boots_;
  {
    std::lock_guard<std::mutex> lock(buses_->Mutex());
    buses_->Registers().PowerUp();
  }
  responses_.clear();
  if (firmwareObserver_) {
    firmwareObserver_(bootedImage_);
  }
  // The firmware disconnects and comes back with its own descriptors.
  ++generation_;
  if (reEnumerationSearches_ > 0) {
    connected_ = false;
    reEnumerating_ = true;
    absentSearches_ = reEnumerationSearches_;
  }
}

bool Board::IsFirmwareEndpoint(uint8_t endpoint) const {
  const auto& endpoints = FirmwareEndpoints();
  return std::any_of(endpoints.begin(), endpoints.end(),
                     [endpoint](const EndpointInfo& info) { return info.address == endpoint; });
}

UsbOutcome Board::BulkOut(uint8_t endpoint, const uint8_t* data, size_t length, size_t* moved) {
  *moved = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) {
    return UsbOutcome::kGone;
  }
  if (!firmwareRunning_ || (endpoint & 0x80) != 0 || !IsFirmwareEndpoint(endpoint)) {
    return UsbOutcome::kStall;
  }
  // A stopped CPU, an endpoint the firmware never arms, or no room left for
  // another response: the packet is not taken.
  if (cpuReset_ || endpoint != kCommandEndpoint || responses_.size() >= kResponseSlots) {
    return UsbOutcome::kPending;
  }
  if (faults_.Fire(FaultKind::kDisconnect)) {
    UnplugLocked();
    return UsbOutcome::kGone;
  }
  const bool forceNak =
      length >= 2 && data != nullptr && IsChipBus(data[1]) && faults_.Fire(FaultKind::kNak);
  CommandResult result = firmware_.Execute(data, length, forceNak);
  if (result.hasResponse) {
    responses_.push_back(result.response);
  }
  *moved = length;
  return UsbOutcome::kDone;
}

UsbOutcome Board::BulkIn(uint8_t endpoint, uint8_t* data, size_t length, size_t* moved) {
  *moved = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  if (!connected_) {
    return UsbOutcome::kGone;
  }
  if (!firmwareRunning_ || (endpoint & 0x80) == 0 || !IsFirmwareEndpoint(endpoint)) {
    return UsbOutcome::kStall;
  }
  if (cpuReset_ || endpoint != kResponseEndpoint) {
    return UsbOutcome::kPending;
  }
  if (faults_.Fire(FaultKind::kDisconnect)) {
    UnplugLocked();
    return UsbOutcome::kGone;
  }
  if (responses_.empty()) {
    return UsbOutcome::kPending;
  }
  if (faults_.Fire(FaultKind::kTimeout)) {
    return UsbOutcome::kPending;
  }
  Response response = responses_.front();
  responses_.pop_front();
  if (faults_.Fire(FaultKind::kShortResponse) && response.length > 0) {
    --response.length;
  }
  if (faults_.Fire(FaultKind::kLongResponse) && response.length < kResponseCapacity) {
    response.bytes[response.length++] = kLongResponseFill;
  }
  if (response.length > length) {
    return UsbOutcome::kOverflow;
  }
  if (response.length > 0) {
    std::memcpy(data, response.bytes.data(), response.length);
  }
  *moved = response.length;
  return UsbOutcome::kDone;
}

void Board::Abort(uint8_t endpoint) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (endpoint == kResponseEndpoint) {
    responses_.clear();
  }
}

size_t Board::ResponsesQueued() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return responses_.size();
}

std::vector<uint8_t> Board::CodeMemory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return code_;
}

std::vector<uint8_t> Board::BootedImage() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bootedImage_;
}

uint32_t Board::Boots() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boots_;
}

uint32_t Board::DownloadRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return downloadRequests_;
}

std::string Board::LastBootProblem() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastBootProblem_;
}

}  // namespace kestrova::emulator
