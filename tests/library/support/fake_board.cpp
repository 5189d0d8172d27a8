#include "fake_board.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "last_error.hpp"

namespace dravik::testing {
namespace {

FakeBoard MakeBoard(uint16_t vendor, uint16_t product, uint16_t bcdUSB, uint8_t manufacturer,
                    uint8_t productIndex) {
  FakeBoard board;
  board.descriptor.bLength = 18;
  board.descriptor.bDescriptorType = 1;
  board.descriptor.bcdUSB = bcdUSB;
  board.descriptor.idVendor = vendor;
  board.descriptor.idProduct = product;
  board.descriptor.iManufacturer = manufacturer;
  board.descriptor.iProduct = productIndex;
  board.descriptor.bNumConfigurations = 1;
  return board;
}

}  // namespace

FakeBoard RunningBoard(uint16_t vendor, uint16_t product, uint16_t bcdUSB) {
  return MakeBoard(vendor, product, bcdUSB, 1, 2);
}

FakeBoard BlankBoard(uint16_t vendor, uint16_t product, uint16_t bcdUSB) {
  return MakeBoard(vendor, product, bcdUSB, 0, 0);
}

uint8_t ChipValue(int16_t entry) {
  return static_cast<uint8_t>(entry * 3 + 1);
}

uint8_t BoardValue(int16_t entry) {
  const auto word = static_cast<uint16_t>(entry);
  return static_cast<uint8_t>((word >> 8) ^ (word & 0xFF) ^ 0x5A);
}

class FakeDevice::FakeEndpoint : public usb::Endpoint {
 public:
  FakeEndpoint(FakeDevice& device, int index) : device_(device), index_(index) {}
  uint8_t Address() const override {
    if (index_ == 1) {
      return device_.state_->commandAddress;
    }
    if (index_ == 8) {
      return device_.state_->responseAddress;
    }
    return index_ == 0 ? 0 : static_cast<uint8_t>(index_ | (index_ % 2 ? 0x80 : 0));
  }
  uint8_t Attributes() const override {
    if (index_ == 1) {
      return device_.state_->commandAttributes;
    }
    return index_ == 0 ? usb::kAttributesControl : usb::kAttributesBulk;
  }
  bool XferData(uint8_t* buffer, int32_t& length) override {
    if (index_ == 1) {
      return device_.Send(buffer, length);
    }
    if (index_ == 8) {
      return device_.Receive(buffer, length);
    }
    device_.state_->calls.push_back("Xfer on endpoint " + std::to_string(index_));
    return false;
  }

 private:
  FakeDevice& device_;
  int index_;
};

FakeDevice::FakeDevice(std::shared_ptr<FakeState> state) : state_(std::move(state)) {
  for (int i = 0; i < 16; ++i) {
    endpoints_.push_back(std::make_unique<FakeEndpoint>(*this, i));
  }
}

FakeDevice::~FakeDevice() {
  state_->destroyed = true;
}

uint8_t FakeDevice::DeviceCount() {
  state_->calls.push_back("Count");
  if (downloaded_ && state_->pollsBeforeBack > 0) {
    --state_->pollsBeforeBack;
    return static_cast<uint8_t>(state_->boards.size() + 1);
  }
  return static_cast<uint8_t>(state_->boards.size());
}

bool FakeDevice::Open(uint8_t n) {
  state_->calls.push_back("Open " + std::to_string(n));
  open_ = -1;
  descriptor_ = usb::DeviceDescriptor{};
  if (n >= state_->boards.size()) {
    return false;
  }
  FakeBoard& board = state_->boards[n];
  if (board.openFailures > 0) {
    --board.openFailures;
    return false;
  }
  open_ = n;
  descriptor_ = board.descriptor;
  return true;
}

void FakeDevice::Close() {
  state_->calls.push_back("Close");
  open_ = -1;
}

bool FakeDevice::ResetParentPort() {
  state_->calls.push_back("Reset");
  return true;
}

usb::Endpoint* FakeDevice::EndpointAt(int index) {
  if (index < 0 || index >= state_->endpointCount || index >= 16) {
    return nullptr;
  }
  return endpoints_[static_cast<std::size_t>(index)].get();
}

bool FakeDevice::LoadFirmware(uint16_t vendorId, uint16_t productId, uint8_t* image,
                              int16_t length) {
  char line[64];
  std::snprintf(line, sizeof line, "LoadFirmware %04x %04x %d", vendorId, productId, length);
  state_->calls.push_back(line);
  state_->images.emplace_back(image, image + length);
  downloaded_ = true;
  if (!state_->boardsAfterDownload.empty()) {
    state_->boards = state_->boardsAfterDownload;
  }
  return true;
}

bool FakeDevice::Send(uint8_t* buffer, int32_t& length) {
  const int index = static_cast<int>(state_->sent.size());
  state_->sent.emplace_back(buffer, buffer + length);
  if (state_->sendFailsAtPacket == index) {
    return false;
  }
  length -= state_->sendShortBy;
  return true;
}

bool FakeDevice::Receive(uint8_t* buffer, int32_t& length) {
  if (state_->receiveFails) {
    return false;
  }
  Bytes answer;
  if (!state_->responses.empty()) {
    answer = state_->responses.front();
    state_->responses.pop_front();
  } else {
    answer = AnswerLastRequest(length + state_->responseLengthDelta);
  }
  const std::size_t copied = std::min(answer.size(), static_cast<std::size_t>(std::max(length, 0)));
  if (copied > 0) {
    std::memcpy(buffer, answer.data(), copied);
  }
  length = static_cast<int32_t>(answer.size());
  return true;
}

Bytes FakeDevice::AnswerLastRequest(int32_t length) const {
  Bytes answer(static_cast<std::size_t>(std::max(length, 0)), 0xEE);
  if (state_->sent.empty()) {
    return answer;
  }
  const Bytes& request = state_->sent.back();
  const uint8_t type = request[1];
  const int header = request[2];
  const int n = request[3 + header];
  const bool words = type == 0 && header == 2 * n + 1;
  const bool bytes = (type == 2 || type == 4 || type == 7) && header == n + 1;
  for (int i = 0; i < n && i < length; ++i) {
    if (words) {
      const auto entry = static_cast<int16_t>(request[4 + 2 * i] << 8 | request[5 + 2 * i]);
      answer[static_cast<std::size_t>(i)] = BoardValue(entry);
    } else if (bytes) {
      answer[static_cast<std::size_t>(i)] = ChipValue(request[4 + i]);
    }
  }
  return answer;
}

class NullDevice::NullEndpoint : public usb::Endpoint {
 public:
  NullEndpoint(uint8_t address, uint8_t attributes) : address_(address), attributes_(attributes) {}
  uint8_t Address() const override { return address_; }
  uint8_t Attributes() const override { return attributes_; }
  bool XferData(uint8_t* buffer, int32_t& length) override {
    if (IsIn() && length > 0) {
      std::memset(buffer, 0x42, static_cast<std::size_t>(length));
      // As a stream's length byte: one short of full, so a stream ends.
      buffer[0] = static_cast<uint8_t>(length > 1 ? length - 1 : 1);
    }
    return true;
  }

 private:
  uint8_t address_;
  uint8_t attributes_;
};

NullDevice::NullDevice()
    : command_(std::make_unique<NullEndpoint>(0x01, usb::kAttributesBulk)),
      response_(std::make_unique<NullEndpoint>(0x81, usb::kAttributesBulk)),
      control_(std::make_unique<NullEndpoint>(0x00, usb::kAttributesControl)) {
  descriptor_.bcdUSB = 0x0200;
  descriptor_.idVendor = 0x0400;
  descriptor_.idProduct = 0x1234;
  descriptor_.iManufacturer = 1;
  descriptor_.iProduct = 2;
}

NullDevice::~NullDevice() = default;

usb::Endpoint* NullDevice::EndpointAt(int index) {
  switch (index) {
    case 0:
      return control_.get();
    case 1:
      return command_.get();
    case 8:
      return response_.get();
    default:
      return nullptr;
  }
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  char item[4];
  for (uint8_t byte : bytes) {
    std::snprintf(item, sizeof item, "%s%02X", text.empty() ? "" : " ", byte);
    text += item;
  }
  return text;
}

}  // namespace dravik::testing
