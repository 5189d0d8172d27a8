// The scripted board of the library's tests, behind the driver interface, for
// what the emulator's faithful board never does (and the benchmark's null
// link): answers the standard descriptor requests and driver queries from its
// model, the other transfers from a script, else an IN with every byte
// asked for (the first one the count less one, at least 1, so that a stream
// ends in its first response; then 0x42). Records every Control call.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "usb/transfer_header.hpp"
#include "usb/usb_driver.hpp"

namespace dravik::usb::testing {

struct RecordedRequest {
  uint32_t code = 0;
  std::vector<uint8_t> in;
  uint32_t outLength = 0;
  uint32_t timeoutMs = 0;
};

// How one scripted transfer ends.
struct ScriptedAnswer {
  IoResult result = IoResult::kDone;
  std::vector<uint8_t> data = {};  // the bytes an IN transfer returns
  uint32_t status = 0;             // first status word of the returned header
};

// Builds a configuration descriptor; wTotalLength is filled in by Finish.
class ConfigBuilder {
 public:
  explicit ConfigBuilder(uint8_t value) { bytes_ = {9, 2, 0, 0, 0, value, 0, 0x80, 50}; }
  ConfigBuilder& Interface(uint8_t number, uint8_t alt, uint8_t endpoints) {
    bytes_.insert(bytes_.end(), {9, 4, number, alt, endpoints, 0xFF, 0, 0, 0});
    bytes_[4]++;
    return *this;
  }
  ConfigBuilder& Endpoint(uint8_t address, uint8_t attributes, uint16_t maxPacket,
                          uint8_t interval = 0) {
    bytes_.insert(bytes_.end(), {7, 5, address, attributes, static_cast<uint8_t>(maxPacket),
                                 static_cast<uint8_t>(maxPacket >> 8), interval});
    return *this;
  }
  ConfigBuilder& Raw(std::vector<uint8_t> descriptor) {
    bytes_.insert(bytes_.end(), descriptor.begin(), descriptor.end());
    return *this;
  }
  std::vector<uint8_t> Finish() {
    bytes_[2] = static_cast<uint8_t>(bytes_.size());
    bytes_[3] = static_cast<uint8_t>(bytes_.size() >> 8);
    return bytes_;
  }

 private:
  std::vector<uint8_t> bytes_;
};

// The evaluation board's interface: the command endpoint at entry 1, the
// response endpoint at entry 8 (entries: addresses, bulk but for the first).
inline std::vector<uint8_t> EvaluationConfiguration(
    const std::vector<uint8_t>& addresses = {0x02, 0x04, 0x06, 0x08, 0x82, 0x84, 0x88, 0x86},
    uint8_t firstAttributes = 2) {
  ConfigBuilder config(1);
  config.Interface(0, 0, static_cast<uint8_t>(addresses.size()));
  for (const uint8_t address : addresses) {
    config.Endpoint(address, address == addresses[0] ? firstAttributes : 2, 512);
  }
  return config.Finish();
}

// The only board of its driver class.
class FakeBoard : public DriverClass {
 public:
  // A board running the evaluation firmware as 0400:1234: string indexes 1 and 2.
  std::vector<uint8_t> deviceDescriptor = {18,   1,    0x00, 0x02, 0xFF, 0xFF, 0xFF, 64, 0x00,
                                           0x04, 0x34, 0x12, 0x01, 0x00, 1,    2,    0,  1};
  std::vector<std::vector<uint8_t>> configurations = {EvaluationConfiguration()};
  std::u16string languages = u"\u0409";  // the language list of string 0
  std::map<uint8_t, std::u16string> strings = {{1, u"Maker"}, {2, u"Board"}};
  uint32_t driverVersion = 0x01050500;
  uint8_t alternateSetting = 0;
  std::deque<ScriptedAnswer> script;
  std::vector<RecordedRequest> requests;
  bool recording = true;  // off: allocates nothing per request

  int Count() override { return 1; }
  std::unique_ptr<Driver> Open(int index) override {
    return index == 0 ? std::make_unique<Handle>(this) : nullptr;
  }

  IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                   uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) {
    if (recording) {
      requests.push_back({code, std::vector<uint8_t>(in, in + inLength), outLength, timeoutMs});
    }
    *returned = 0;
    switch (code) {
      case kIoctlDriverVersion:
        WriteLe32(out, driverVersion);
        *returned = 4;
        return IoResult::kDone;
      case kIoctlAltInterface:
        out[0] = alternateSetting;
        *returned = 1;
        return IoResult::kDone;
      case kIoctlAbortPipe:
      case kIoctlResetParentPort:
        return IoResult::kDone;
      case kIoctlControlTransfer:
      case kIoctlBufferedTransfer:
      case kIoctlDirectTransfer:
        return Transfer(code, ReadTransferHeader(in), out, outLength, returned);
      default:  // the driver's other queries go unanswered
        return IoResult::kFailed;
    }
  }

 private:
  class Handle : public Driver {
   public:
    explicit Handle(FakeBoard* board) : board_(board) {}
    IoResult Control(uint32_t code, const uint8_t* in, uint32_t inLength, uint8_t* out,
                     uint32_t outLength, uint32_t* returned, uint32_t timeoutMs) override {
      return board_->Control(code, in, inLength, out, outLength, returned, timeoutMs);
    }

   private:
    FakeBoard* board_;
  };

  IoResult Descriptor(const TransferHeader& header, uint8_t* out, uint32_t* returned) {
    std::vector<uint8_t> bytes;
    const uint8_t type = static_cast<uint8_t>(header.wValue >> 8);
    const uint8_t index = static_cast<uint8_t>(header.wValue);
    if (type == 1) {
      bytes = deviceDescriptor;
    } else if (type == 2 && index < configurations.size()) {
      bytes = configurations[index];
    } else if (type == 3 && (index == 0 || strings.count(index) != 0)) {
      const std::u16string& text = index == 0 ? languages : strings[index];
      bytes = {static_cast<uint8_t>(2 + 2 * text.size()), 3};
      for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
      }
    } else {
      return IoResult::kFailed;
    }
    const size_t n = bytes.size() < header.wLength ? bytes.size() : header.wLength;
    std::memcpy(out + kTransferHeaderSize, bytes.data(), n);
    *returned = static_cast<uint32_t>(kTransferHeaderSize + n);
    return IoResult::kDone;
  }

  IoResult Transfer(uint32_t code, TransferHeader header, uint8_t* out, uint32_t outLength,
                    uint32_t* returned) {
    const bool control = code == kIoctlControlTransfer;
    if (control && header.bmRequestType == 0x80 && header.bRequest == 6) {
      return Descriptor(header, out, returned);
    }
    const uint32_t offset = code == kIoctlDirectTransfer ? 0 : kTransferHeaderSize;
    const bool incoming = ((control ? header.bmRequestType : header.endpointAddress) & 0x80) != 0;
    uint32_t moved = outLength - offset;
    ScriptedAnswer answer;
    if (!script.empty()) {
      answer = script.front();
      script.pop_front();
      if (incoming) {
        moved = static_cast<uint32_t>(answer.data.size());
        std::copy_n(answer.data.begin(), std::min(moved, outLength - offset), out + offset);
      }
    } else if (incoming && moved > 0) {
      std::memset(out + offset, 0x42, moved);
      out[offset] = static_cast<uint8_t>(moved > 1 ? moved - 1 : 1);
    }
    if (offset > 0) {
      header.status = answer.status;
      WriteTransferHeader(header, out);
    }
    *returned = offset + moved;
    return answer.result;
  }
};

}  // namespace dravik::usb::testing
