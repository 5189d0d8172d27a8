#include "cli_run.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "adapter_diagnosis.hpp"
#include "cli_list.hpp"
#include "dravik/dravik.h"
#include "emulated_board_state.hpp"
#include "number_text.hpp"
#include "tool_report.hpp"
#include "usb_boards.hpp"

namespace dravik::cli {
namespace {

using kestrova::tools::EmulatorSelected;
using kestrova::tools::Json;
using kestrova::tools::kEmulatedSmbusController;
using kestrova::tools::kExitFailure;
using kestrova::tools::kExitOk;
using kestrova::tools::Report;

constexpr const char* kProgram = "dravik-cli";
constexpr const char* kDefaultSmbusDevice = "i2c-";
// The library's texts of a transfer the adapter refused.
constexpr const char* kSmbusReadFailed = "ReadDevice: Dravik driver read failed";
constexpr const char* kSmbusWriteFailed = "WriteDevice: Dravik driver write failed";
constexpr int kDumpRegisters = 0x100;
constexpr int kDumpRow = 16;

const char* CommandName(Action action) {
  switch (action) {
    case Action::kList:
      return "list";
    case Action::kOpen:
      return "open";
    case Action::kRead:
      return "read";
    case Action::kWrite:
      return "write";
    case Action::kDump:
      break;
  }
  return "dump";
}

std::string LibraryError() {
  char text[DRAVIK_ERROR_TEXT_SIZE];
  std::memset(text, 0, sizeof text);
  if (LastErrorDevice(text) == 0) {
    return "no error text from the library";
  }
  text[DRAVIK_ERROR_TEXT_SIZE - 1] = '\0';
  return text;
}

// A register in JSON: its number, or null for "no register address".
Json RegisterJson(uint16_t reg) {
  return reg == 0xFFFF ? Json(nullptr) : Json(reg);
}

struct Reading {
  uint16_t reg;
  uint32_t value;
};

class Session {
 public:
  Session(const Options& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err), report_(kProgram, CommandName(options.action)) {}

  int Run() {
    SelectDrivers();
    if (options_.action == Action::kList) {
      ListHardware(options_, report_, out_);
      for (const std::string& warning : report_.Warnings()) {
        err_ << kProgram << ": warning: " << warning << "\n";
      }
      return Finish(kExitOk);
    }
    if (!Open()) {
      Json hardware = HardwareJson();
      hardware["inUse"] = false;
      report_.Body()["hardware"] = hardware;
      Fail(LibraryError());
      if (options_.link == Link::kSmbus && !EmulatedController()) {
        Explain(kestrova::tools::DiagnoseAdapter(DevicePath()));
      }
      return Finish(kExitFailure);
    }
    report_.Body()["hardware"] = HardwareJson();
    int status = Act();
    if (CloseDevice(handle_) == 0 && status == kExitOk) {
      Fail(LibraryError());
      status = kExitFailure;
    }
    return Finish(status);
  }

 private:
  void Fail(const std::string& message) {
    report_.Error(message);
    err_ << kProgram << ": " << message << "\n";
  }

  void Warn(const std::string& message) {
    report_.Warn(message);
    err_ << kProgram << ": warning: " << message << "\n";
  }

  // A second line that says why, when one is found.
  void Explain(const std::string& cause) {
    if (!cause.empty()) {
      Fail(cause);
    }
  }

  int Finish(int status) {
    if (options_.json) {
      out_ << report_.Document(status == kExitOk);
    }
    return status;
  }

  // The library reads its choices from the environment when it opens.
  void SelectDrivers() {
    if (options_.emulated) {
      ::setenv("DRAVIK_EMULATOR", "1", 1);
    }
    if (EmulatorSelected()) {
      kestrova::tools::KeepEmulatedBoardState(options_.bareBoard);
    }
    if (!options_.board.empty()) {
      ::setenv("DRAVIK_USB_BOARD", options_.board.c_str(), 1);
    }
    if (options_.forceAddress) {
      ::setenv("DRAVIK_SMBUS_FORCE", "1", 1);
      if (options_.link == Link::kSmbus) {
        Warn(std::string(kestrova::tools::kForceWarning));
      }
    }
    if (options_.action != Action::kList && options_.link == Link::kUsb && !options_.emulated &&
        options_.board.empty()) {
      WarnOfSeveralBoards();
    }
  }

  // Several boards that all match: the library takes the first.
  void WarnOfSeveralBoards() {
    std::string problem;
    std::string ports;
    int matching = 0;
    for (const kestrova::tools::UsbBoard& board : kestrova::tools::ListUsbBoards(problem)) {
      if ((options_.vendorId == 0 || options_.vendorId == board.vendorId) &&
          (options_.productId == 0 || options_.productId == board.productId)) {
        ++matching;
        ports += (ports.empty() ? "" : ", ") + board.port;
      }
    }
    if (matching > 1) {
      Warn(std::to_string(matching) + " USB boards are attached (" + ports +
           "); the first one found is used; --board PORT chooses one");
    }
  }

  bool EmulatedController() const {
    return EmulatorSelected() &&
           (options_.smbusDevice.empty() || options_.smbusDevice == kEmulatedSmbusController);
  }

  std::string DevicePath() const { return kestrova::tools::SmbusDevicePath(device_); }

  bool Open() {
    if (options_.link == Link::kSmbus) {
      device_ = options_.smbusDevice;
      if (device_.empty()) {
        device_ = options_.emulated ? kEmulatedSmbusController : kDefaultSmbusDevice;
      }
      return OpenDevice(LINK_SMBUS, device_.c_str(), nullptr, 0, nullptr, &handle_) != 0;
    }
    vidPid_[0] = options_.vendorId;
    vidPid_[1] = options_.productId;
    const char* firmware = options_.firmwarePath.empty() ? nullptr : options_.firmwarePath.c_str();
    if (OpenDevice(LINK_USB, options_.usbDriverName.c_str(), vidPid_,
                   options_.forceFirmware ? 1 : 0, firmware, &handle_) != 0) {
      return true;
    }
    // A board that failed after it was found stays open for its caller; a
    // successful close leaves the open's reason in the error text.
    if (handle_ != -1) {
      CloseDevice(handle_);
      handle_ = -1;
    }
    return false;
  }

  int Act() {
    switch (options_.action) {
      case Action::kOpen:
        return ReportOpen();
      case Action::kRead:
        return options_.busType == BUS_STREAM ? ReadStream() : Read();
      case Action::kWrite:
        return Write();
      case Action::kDump:
        return Dump();
      case Action::kList:
        break;
    }
    return kExitOk;
  }

  Json HardwareJson() const {
    const bool smbus = options_.link == Link::kSmbus;
    Json hardware = kestrova::tools::HardwareJson(smbus ? "ich" : "usb", true);
    hardware["emulated"] = EmulatorSelected() && (!smbus || EmulatedController());
    if (smbus) {
      hardware["adapter"] = DevicePath();
    } else {
      hardware["vendorId"] = vidPid_[0];
      hardware["productId"] = vidPid_[1];
      hardware["id"] = kestrova::tools::UsbIdText(vidPid_[0], vidPid_[1]);
      if (!options_.board.empty()) {
        hardware["port"] = options_.board;
      }
    }
    return hardware;
  }

  void DescribeTransfer() {
    Json& body = report_.Body();
    body["bus"] = options_.busName;
    body["busType"] = options_.busType;
    body["address"] = options_.deviceAddress;
    body["width"] = options_.width;
  }

  // A transfer that failed: the library's text, and on an SMBus adapter
  // what holds the chip address when something does.
  int TransferFailed(const std::string& suffix = {}) {
    const std::string reason = LibraryError();
    Fail(reason + suffix);
    if (options_.link == Link::kSmbus && !EmulatedController() &&
        (reason == kSmbusReadFailed || reason == kSmbusWriteFailed)) {
      Explain(kestrova::tools::DiagnoseAddress(DevicePath(), options_.deviceAddress));
    }
    return kExitFailure;
  }

  int ReportOpen() {
    if (!options_.json) {
      if (options_.link == Link::kSmbus) {
        out_ << "SMBus controller " << device_ << " opened\n";
      } else {
        out_ << "USB board VID=" << FormatHex(vidPid_[0], 4) << " PID=" << FormatHex(vidPid_[1], 4)
             << " opened\n";
      }
    }
    return kExitOk;
  }

  // One entry per byte: a 16-bit register is its address twice, high byte first.
  void Entries(const std::vector<uint16_t>& registers, std::vector<int16_t>* entries) const {
    entries->clear();
    for (const uint16_t reg : registers) {
      for (int byte = 0; byte < options_.width / 8; ++byte) {
        entries->push_back(static_cast<int16_t>(reg));
      }
    }
  }

  bool Transfer(const std::vector<uint16_t>& registers, std::vector<Reading>* readings) {
    std::vector<int16_t> entries;
    Entries(registers, &entries);
    std::vector<uint8_t> data(entries.size(), 0);
    auto size = static_cast<int16_t>(entries.size());
    if (ReadDevice(handle_, options_.port, options_.busType, options_.deviceAddress, entries.data(),
                   data.data(), &size) == 0) {
      return false;
    }
    const std::size_t bytes = static_cast<std::size_t>(options_.width / 8);
    for (std::size_t i = 0; i < registers.size(); ++i) {
      uint32_t value = 0;
      for (std::size_t b = 0; b < bytes; ++b) {
        value = value << 8 | data[i * bytes + b];
      }
      readings->push_back({registers[i], value});
    }
    return true;
  }

  void PrintReadings(const std::vector<Reading>& readings) {
    if (options_.json) {
      Json& list = report_.Body()["registers"] = Json::array();
      for (const Reading& reading : readings) {
        list.push_back({{"register", RegisterJson(reading.reg)}, {"value", reading.value}});
      }
      return;
    }
    const int digits = options_.width / 4;
    for (const Reading& reading : readings) {
      out_ << FormatHex(reading.reg, 2) << ": " << FormatHex(reading.value, digits) << "\n";
    }
  }

  int Read() {
    DescribeTransfer();
    std::vector<Reading> readings;
    if (!Transfer(options_.registers, &readings)) {
      return TransferFailed();
    }
    PrintReadings(readings);
    return kExitOk;
  }

  int ReadStream() {
    DescribeTransfer();
    std::vector<int16_t> entries(static_cast<std::size_t>(options_.streamCount), 0);
    std::vector<uint8_t> data(entries.size(), 0);
    auto size = static_cast<int16_t>(entries.size());
    if (ReadDevice(handle_, options_.port, BUS_STREAM, options_.deviceAddress, entries.data(),
                   data.data(), &size) == 0) {
      return TransferFailed();
    }
    data.resize(static_cast<std::size_t>(size));
    if (options_.json) {
      report_.Body()["bytes"] = data;
      return kExitOk;
    }
    for (std::size_t i = 0; i < data.size(); ++i) {
      out_ << (i == 0 ? "" : " ") << FormatHex(data[i], 2);
    }
    out_ << "\n";
    return kExitOk;
  }

  int Write() {
    DescribeTransfer();
    std::vector<int16_t> entries;
    Entries(options_.registers, &entries);
    std::vector<uint8_t> data;
    for (const uint16_t value : options_.values) {
      if (options_.width == 16) {
        data.push_back(static_cast<uint8_t>(value >> 8));
      }
      data.push_back(static_cast<uint8_t>(value & 0xFF));
    }
    auto size = static_cast<int16_t>(entries.size());
    if (WriteDevice(handle_, options_.port, options_.busType, options_.deviceAddress,
                    entries.data(), data.data(), &size) == 0) {
      return TransferFailed();
    }
    Json& written = report_.Body()["written"] = Json::array();
    for (std::size_t i = 0; i < options_.registers.size(); ++i) {
      written.push_back(
          {{"register", RegisterJson(options_.registers[i])}, {"value", options_.values[i]}});
    }
    const std::size_t count = options_.registers.size();
    if (!options_.json) {
      out_ << "wrote " << count << " register" << (count == 1 ? "" : "s") << "\n";
    }
    return options_.verify ? Verify() : kExitOk;
  }

  // Reads back what was written: a board that takes every write (an absent
  // chip on the USB board) or a register that keeps other bits shows here.
  int Verify() {
    std::vector<Reading> readings;
    if (!Transfer(options_.registers, &readings)) {
      TransferFailed(" (reading back for --verify)");
      report_.Body()["verified"] = false;
      return kExitFailure;
    }
    const int digits = options_.width / 4;
    bool same = true;
    for (std::size_t i = 0; i < readings.size(); ++i) {
      if (readings[i].value != options_.values[i]) {
        same = false;
        Fail("--verify: register " + FormatHex(readings[i].reg, 2) + " reads " +
             FormatHex(readings[i].value, digits) + " after " +
             FormatHex(options_.values[i], digits) + " was written");
      }
    }
    report_.Body()["verified"] = same;
    if (same && !options_.json) {
      out_ << "read back the same\n";
    }
    return same ? kExitOk : kExitFailure;
  }

  // Row by row, so a controller's limit per transfer is never reached and a
  // failure names the row.
  int Dump() {
    DescribeTransfer();
    std::vector<Reading> readings;
    for (int row = 0; row < kDumpRegisters; row += kDumpRow) {
      std::vector<uint16_t> registers;
      for (int r = row; r < row + kDumpRow; ++r) {
        registers.push_back(static_cast<uint16_t>(r));
      }
      if (!Transfer(registers, &readings)) {
        return TransferFailed(" (registers " + FormatHex(static_cast<uint32_t>(row), 2) + " to " +
                              FormatHex(static_cast<uint32_t>(row + kDumpRow - 1), 2) + ")");
      }
    }
    if (options_.json) {
      PrintReadings(readings);
      return kExitOk;
    }
    const int digits = options_.width / 4;
    out_ << "   ";
    for (int column = 0; column < kDumpRow; ++column) {
      out_ << std::string(static_cast<std::size_t>(digits - 1), ' ') << ' ' << std::hex << column
           << std::dec;
    }
    out_ << "\n";
    char cell[8];
    for (std::size_t i = 0; i < readings.size(); ++i) {
      if (i % kDumpRow == 0) {
        std::snprintf(cell, sizeof cell, "%02x:", readings[i].reg);
        out_ << cell;
      }
      std::snprintf(cell, sizeof cell, " %0*x", digits, readings[i].value);
      out_ << cell << ((i % kDumpRow == kDumpRow - 1) ? "\n" : "");
    }
    return kExitOk;
  }

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
  Report report_;
  DeviceHandle handle_ = -1;
  uint16_t vidPid_[2] = {0, 0};
  std::string device_;
};

}  // namespace

int Run(const Options& options, std::ostream& out, std::ostream& err) {
  Session session(options, out, err);
  return session.Run();
}

int Main(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Options options;
  if (const auto status = ParseCommandLine(argc, argv, options, out, err)) {
    return *status;
  }
  return Run(options, out, err);
}

}  // namespace dravik::cli
