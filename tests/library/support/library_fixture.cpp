#include "library_fixture.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <new>
#include <sstream>

#include "drivers.hpp"
#include "handle_table.hpp"
#include "last_error.hpp"
#include "packet_trace.hpp"
#include "sleep.hpp"

namespace dravik::testing {
namespace {

// The library's own board object, with its calls written down (the count
// inside Open is Open's own).
class RecordingDevice : public usb::UsbDevice {
 public:
  RecordingDevice(usb::DriverClass* boards, std::string& calls, bool& destroyed,
                  const bool& throwing)
      : UsbDevice(boards), calls_(calls), destroyed_(destroyed), throwing_(throwing) {
    destroyed_ = false;
  }
  ~RecordingDevice() override { destroyed_ = true; }

  uint8_t DeviceCount() override {
    if (!opening_) {
      Call("Count");
    }
    return UsbDevice::DeviceCount();
  }
  bool Open(uint8_t n) override {
    Call("Open " + std::to_string(n));
    opening_ = true;
    const bool opened = UsbDevice::Open(n);
    opening_ = false;
    return opened;
  }
  bool ResetParentPort() override {
    Call("Reset");
    return UsbDevice::ResetParentPort();
  }
  usb::Endpoint* EndpointAt(int index) override {
    if (throwing_) {
      throw std::bad_alloc();
    }
    return UsbDevice::EndpointAt(index);
  }

 private:
  void Call(const std::string& call) { calls_ += (calls_.empty() ? "" : ", ") + call; }

  std::string& calls_;
  bool& destroyed_;
  const bool& throwing_;
  bool opening_ = false;
};

}  // namespace

std::string Hex(const Bytes& bytes) {
  std::string text;
  char item[4];
  for (uint8_t byte : bytes) {
    std::snprintf(item, sizeof item, "%s%02X", text.empty() ? "" : " ", byte);
    text += item;
  }
  return text;
}

std::vector<long> Numbers(const std::string& text) {
  std::istringstream in(text);
  std::vector<long> numbers;
  for (std::string word; in >> word;) {
    const long first = std::strtol(word.c_str(), nullptr, 16);
    const std::size_t dots = word.find("..");
    const long last =
        dots == std::string::npos ? first : std::strtol(word.c_str() + dots + 2, nullptr, 16);
    for (long n = first; n <= last; ++n) {
      numbers.push_back(n);
    }
  }
  return numbers;
}

Bytes BytesOf(const std::string& text) {
  const std::vector<long> numbers = Numbers(text);
  return Bytes(numbers.begin(), numbers.end());
}

Bytes ImageOf(uint16_t vendor, uint16_t product, Bytes image) {
  usb::WriteLe16(&image[0x0F08], vendor);
  usb::WriteLe16(&image[0x0F0A], product);
  return image;
}

EmulatedBench::EmulatedBench() {
  namespace emu = kestrova::emulator;
  emulator.AddBoard(emu::BoardClass::kHighSpeed, {0x0400, 0x1234})
      .BootFrom(ImageOf(0x0400, 0x1234));
  for (const uint8_t address : {0x48, 0x50, 0x7F}) {
    emulator.GetBuses()->I2c().Attach(address, std::make_shared<MemoryChip>());
  }
  for (uint16_t r = 0; r < 16; ++r) {
    emulator.GetBuses()->Registers().Write(static_cast<uint16_t>(0x400 + r),
                                           static_cast<uint8_t>(0xB0 + r));
  }
}

void LibraryTest::SetUp() {
  ::setenv("DRAVIK_SMBUS_LOCK", (folder / "lock").c_str(), 1);
  SetTraceFileForTesting((folder / "trace").c_str());
  ResetLastErrorForTesting();
  CloseAllOpenLinksForTesting();
  SetDeviceFactoryForTesting([this] {
    return std::make_unique<RecordingDevice>(driverClass, calls, destroyed, throwing);
  });
  SetSleeperForTesting(
      [this](int ms) { sleeps += (sleeps.empty() ? "" : " ") + std::to_string(ms); });
}

void LibraryTest::TearDown() {
  throwing = false;
  CloseAllOpenLinksForTesting();
  SetDeviceFactoryForTesting(nullptr);
  SetSmbusOpenerForTesting(nullptr);
  SetSleeperForTesting(nullptr);
  SetTraceFileForTesting(nullptr);
  ::unsetenv("DRAVIK_SMBUS_LOCK");
}

std::vector<std::string> LibraryTest::NewTraceLines() {
  std::ifstream file(folder / "trace");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    lines.push_back(line.substr(27));
  }
  std::vector<std::string> fresh(lines.begin() + static_cast<long>(traceLinesSeen), lines.end());
  traceLinesSeen = lines.size();
  return fresh;
}

std::vector<Bytes> LibraryTest::SentPackets() {
  std::vector<Bytes> packets;
  for (const std::string& line : NewTraceLines()) {
    if (line.starts_with("usb ep=0x") && !line.starts_with("usb ep=0x00") &&
        line.find(" out ") != std::string::npos) {
      const std::size_t open = line.find('[');
      packets.push_back(BytesOf(line.substr(open + 1, line.find(']') - open - 1)));
    }
  }
  return packets;
}

std::string LibraryTest::LastError() {
  char buffer[DRAVIK_ERROR_TEXT_SIZE];
  LastErrorDevice(buffer);
  return std::string(buffer);
}

std::vector<char> LibraryTest::LastErrorBytes() {
  std::vector<char> buffer(DRAVIK_ERROR_TEXT_SIZE, 'x');
  LastErrorDevice(buffer.data());
  return buffer;
}

uint8_t LibraryTest::OpenAny(DeviceHandle* handle) {
  uint16_t vidPid[2] = {0, 0};
  return OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, handle);
}

uint8_t LibraryTest::TransferOne(DeviceHandle handle, bool write, int16_t count) {
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  return write ? WriteDevice(handle, 0, BUS_I2C, 0x48, registers, data, &count)
               : ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, &count);
}

DeviceHandle LibraryTest::OpenBoard() {
  DeviceHandle handle = -1;
  EXPECT_EQ(OpenAny(&handle), 1) << LastError();
  calls.clear();
  NewTraceLines();
  return handle;
}

}  // namespace dravik::testing
