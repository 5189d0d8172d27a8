// A fake USB device layer for the library's tests: boards with scripted
// descriptors, an endpoint list with the command endpoint at entry 1 and the
// response endpoint at entry 8, and a record of every call and packet.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "usb/usb_device.hpp"

namespace dravik::testing {

using Bytes = std::vector<uint8_t>;

struct FakeBoard {
  usb::DeviceDescriptor descriptor;
  int openFailures = 0;  // Open fails this many times before it works
};

// A board already running the evaluation firmware (string indexes 1 and 2).
FakeBoard RunningBoard(uint16_t vendor, uint16_t product, uint16_t bcdUSB = 0x0200);
// A board without firmware (string indexes 0).
FakeBoard BlankBoard(uint16_t vendor, uint16_t product, uint16_t bcdUSB = 0x0200);

// Default contents of the emulated registers the fake answers read requests with.
uint8_t ChipValue(int16_t entry);
uint8_t BoardValue(int16_t entry);

struct FakeState {
  std::vector<FakeBoard> boards;
  // Boards present after a firmware download (the re-enumerated ones).
  std::vector<FakeBoard> boardsAfterDownload;
  // DeviceCount answers this many polls after a download with count + 1.
  int pollsBeforeBack = 0;

  std::vector<std::string> calls;  // "Count", "Open 0", "Reset", "Close", "LoadFirmware ..."
  std::vector<Bytes> sent;         // every packet on the command endpoint
  std::vector<Bytes> images;       // every firmware image downloaded
  bool destroyed = false;

  // Endpoint list.
  int endpointCount = 9;
  uint8_t commandAddress = 0x01;
  uint8_t commandAttributes = usb::kAttributesBulk;
  uint8_t responseAddress = 0x81;

  // Faults.
  int sendFailsAtPacket = -1;  // this packet (0-based) fails
  int32_t sendShortBy = 0;
  bool receiveFails = false;
  int32_t responseLengthDelta = 0;  // reported length = asked + delta
  bool emulated = false;            // what Emulated() answers

  // Scripted responses; when empty the fake answers the last read request
  // with ChipValue/BoardValue of its registers.
  std::deque<Bytes> responses;
};

class FakeDevice : public usb::Device {
 public:
  explicit FakeDevice(std::shared_ptr<FakeState> state);
  ~FakeDevice() override;

  uint8_t DeviceCount() override;
  bool Open(uint8_t n) override;
  void Close() override;
  bool IsOpen() const override { return open_ >= 0; }
  const usb::DeviceDescriptor& Descriptor() const override { return descriptor_; }
  bool ResetParentPort() override;
  int EndpointCount() const override { return state_->endpointCount; }
  usb::Endpoint* EndpointAt(int index) override;
  bool LoadFirmware(uint16_t vendorId, uint16_t productId, uint8_t* image, int16_t length) override;
  bool Emulated() const override { return state_->emulated; }

 private:
  class FakeEndpoint;
  bool Send(uint8_t* buffer, int32_t& length);
  bool Receive(uint8_t* buffer, int32_t& length);
  Bytes AnswerLastRequest(int32_t length) const;

  std::shared_ptr<FakeState> state_;
  int open_ = -1;
  bool downloaded_ = false;
  usb::DeviceDescriptor descriptor_;
  std::vector<std::unique_ptr<usb::Endpoint>> endpoints_;
};

// Endpoints that answer at once and record nothing: the null link of the
// benchmark. Responses are 0x42 behind a first byte
// one below the length (a stream that ends in its first response).
class NullDevice : public usb::Device {
 public:
  NullDevice();
  ~NullDevice() override;
  uint8_t DeviceCount() override { return 1; }
  bool Open(uint8_t) override { return true; }
  void Close() override {}
  bool IsOpen() const override { return true; }
  const usb::DeviceDescriptor& Descriptor() const override { return descriptor_; }
  bool ResetParentPort() override { return true; }
  int EndpointCount() const override { return 9; }
  usb::Endpoint* EndpointAt(int index) override;
  bool LoadFirmware(uint16_t, uint16_t, uint8_t*, int16_t) override { return true; }

 private:
  class NullEndpoint;
  usb::DeviceDescriptor descriptor_;
  std::unique_ptr<usb::Endpoint> command_;
  std::unique_ptr<usb::Endpoint> response_;
  std::unique_ptr<usb::Endpoint> control_;
};

std::string Hex(const Bytes& bytes);

}  // namespace dravik::testing
