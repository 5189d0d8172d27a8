#include "emulator/firmware.hpp"

#include <algorithm>
#include <cstring>

namespace kestrova::emulator {
namespace {

constexpr uint8_t kDirectionRead = 0;
constexpr uint8_t kDirectionWrite = 1;
constexpr uint8_t kNoRegisterFill = 0xFF;

// One parsed packet, pointing into the caller's bytes.
struct Packet {
  bool write = false;
  uint8_t bus = 0;
  const uint8_t* header = nullptr;
  size_t headerLength = 0;
  size_t count = 0;
  const uint8_t* data = nullptr;
};

const char* Parse(const uint8_t* bytes, size_t length, Packet& packet) {
  if (bytes == nullptr || length < 4) {
    return "packet shorter than 4 bytes";
  }
  if (bytes[0] != kDirectionRead && bytes[0] != kDirectionWrite) {
    return "unknown direction byte";
  }
  packet.write = bytes[0] == kDirectionWrite;
  packet.bus = bytes[1];
  packet.headerLength = bytes[2];
  if (3 + packet.headerLength + 1 > length) {
    return "header runs past the packet";
  }
  packet.header = bytes + 3;
  packet.count = bytes[3 + packet.headerLength];
  const size_t expected = 4 + packet.headerLength + (packet.write ? packet.count : 0);
  if (length != expected) {
    return "packet length does not match its count";
  }
  if (packet.count == 0) {
    return "empty transfer";
  }
  packet.data = packet.write ? bytes + 4 + packet.headerLength : nullptr;
  if (!packet.write && packet.count > kResponseCapacity) {
    return "read request larger than the response buffer";
  }
  return nullptr;
}

bool IsAddressedBus(uint8_t bus) {
  return bus == kBusBoard || bus == kBusI2c || bus == kBusSingleWire || bus == kBusSpi;
}

// The header of an addressed bus: device address, then registers of
// `width` bytes each, or the device address alone.
const char* CheckAddressedHeader(const Packet& packet, size_t width, bool& noRegister) {
  if (packet.headerLength == 1) {
    noRegister = true;
    return nullptr;
  }
  noRegister = false;
  if (packet.headerLength != 1 + width * packet.count) {
    return "header does not hold one register address per byte";
  }
  return nullptr;
}

// Length of the run of equal register bytes starting at `index`.
size_t RunLength(const uint8_t* registers, size_t index, size_t count) {
  size_t run = 1;
  while (index + run < count && registers[index + run] == registers[index]) {
    ++run;
  }
  return run;
}

}  // namespace

CommandResult Firmware::Execute(const uint8_t* bytes, size_t length, bool forceNak) {
  CommandResult result;
  Packet packet;
  const char* problem = Parse(bytes, length, packet);
  bool noRegister = false;
  if (problem == nullptr) {
    if (IsAddressedBus(packet.bus)) {
      problem = CheckAddressedHeader(packet, packet.bus == kBusBoard ? 2 : 1, noRegister);
    } else if (packet.bus == kBusMicrowire || packet.bus == kBusStream ||
               packet.bus == kBusQx3Test) {
      if (packet.headerLength != 0) {
        problem = "this bus takes no header";
      } else if (packet.bus == kBusStream && packet.write) {
        problem = "the stream cannot be written";
      }
    } else {
      problem = "unknown bus type";
    }
  }
  if (problem != nullptr) {
    ++rejected_;
    lastRejection_ = problem;
    result.rejection = problem;
    return result;
  }

  std::lock_guard<std::mutex> lock(buses_.Mutex());
  ++executed_;
  result.accepted = true;
  result.hasResponse = !packet.write;
  uint8_t* out = result.response.bytes.data();
  size_t done = 0;  // bytes of the transfer completed
  bool acknowledged = true;
  const uint8_t deviceAddress = packet.headerLength > 0 ? packet.header[0] : 0;
  const size_t n = packet.count;

  switch (packet.bus) {
    case kBusBoard: {
      BoardRegisters& registers = buses_.Registers();
      for (size_t i = 0; i < n; ++i) {
        if (noRegister) {
          if (!packet.write) {
            out[i] = kNoRegisterFill;
          }
          continue;
        }
        const auto address =
            static_cast<uint16_t>(packet.header[1 + 2 * i] << 8 | packet.header[2 + 2 * i]);
        if (packet.write) {
          registers.Write(address, packet.data[i]);
        } else {
          out[i] = registers.Read(address);
        }
      }
      done = n;
      break;
    }
    case kBusI2c:
    case kBusSingleWire:
    case kBusSpi: {
      AddressedBus& bus = packet.bus == kBusI2c          ? buses_.I2c()
                          : packet.bus == kBusSingleWire ? buses_.SingleWire()
                                                         : buses_.Spi();
      if (forceNak) {
        acknowledged = false;
        break;
      }
      if (noRegister) {
        acknowledged = packet.write ? bus.WriteWithPointer(deviceAddress, packet.data, n)
                                    : bus.ReadFromPointer(deviceAddress, out, n);
        done = acknowledged ? n : 0;
        break;
      }
      const uint8_t* registers = packet.header + 1;
      while (done < n) {
        const size_t run = RunLength(registers, done, n);
        acknowledged =
            packet.write
                ? bus.WriteRegister(deviceAddress, registers[done], packet.data + done, run)
                : bus.ReadRegister(deviceAddress, registers[done], out + done, run);
        if (!acknowledged) {
          break;
        }
        done += run;
      }
      break;
    }
    case kBusMicrowire:
    case kBusQx3Test: {
      WindowSlot& slot = packet.bus == kBusMicrowire ? buses_.Microwire() : buses_.Qx3Test();
      if (forceNak) {
        acknowledged = false;
        break;
      }
      if (packet.write) {
        slot.Write(packet.data, n);
      } else {
        slot.Read(out, n);
      }
      done = n;
      break;
    }
    case kBusStream: {
      const size_t taken = buses_.Stream().Take(out + 1, n - 1);
      out[0] = static_cast<uint8_t>(taken + 1);
      std::fill(out + 1 + taken, out + n, 0);
      done = n;
      break;
    }
    default:
      break;
  }

  if (!acknowledged) {
    ++naks_;
    result.nak = true;
  }
  result.response.length = packet.write ? 0 : done;
  return result;
}

}  // namespace kestrova::emulator
