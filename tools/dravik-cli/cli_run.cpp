#include "cli_run.hpp"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dravik/dravik.h"
#include "number_text.hpp"

namespace dravik::cli {
namespace {

constexpr const char* kProgram = "dravik-cli";
constexpr const char* kDefaultSmbusDevice = "i2c-";
constexpr const char* kEmulatedSmbusDevice = "dravik_i2c";
constexpr int kDumpRegisters = 0x100;
constexpr int kDumpRow = 16;

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
          quoted += FormatHex(static_cast<unsigned char>(c), 2).replace(0, 2, "\\u00");
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
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

struct Reading {
  uint16_t reg;
  uint32_t value;
};

class Session {
 public:
  Session(const Options& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {}

  int Fail(const std::string& message) {
    if (options_.json) {
      out_ << "{\"ok\":false,\"error\":" << JsonString(message) << "}\n";
    } else {
      err_ << kProgram << ": " << message << "\n";
    }
    return 1;
  }

  int Run() {
    if (!Open()) {
      return Fail(LibraryError());
    }
    int status = Act();
    if (CloseDevice(handle_) == 0 && status == 0) {
      status = Fail(LibraryError());
    }
    return status;
  }

 private:
  bool Open() {
    if (options_.emulated) {
      ::setenv("DRAVIK_EMULATOR", "1", 1);
    }
    if (options_.link == Link::kSmbus) {
      device_ = options_.smbusDevice;
      if (device_.empty()) {
        device_ = options_.emulated ? kEmulatedSmbusDevice : kDefaultSmbusDevice;
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
      case Action::kHelp:
        break;
    }
    return 0;
  }

  std::string LinkText() const {
    if (options_.link == Link::kSmbus) {
      return "SMBus controller " + device_;
    }
    return "USB board VID=" + FormatHex(vidPid_[0], 4) + " PID=" + FormatHex(vidPid_[1], 4);
  }

  std::string JsonHead() const {
    std::string head = "{\"ok\":true,\"link\":";
    if (options_.link == Link::kSmbus) {
      head += "\"smbus\",\"device\":" + JsonString(device_);
    } else {
      head += "\"usb\",\"vid\":\"" + FormatHex(vidPid_[0], 4) + "\",\"pid\":\"" +
              FormatHex(vidPid_[1], 4) + "\"";
    }
    return head;
  }

  std::string JsonTransferHead() const {
    return JsonHead() + ",\"bus\":" + JsonString(options_.busName) + ",\"address\":\"" +
           FormatHex(static_cast<uint16_t>(options_.deviceAddress), 2) +
           "\",\"width\":" + std::to_string(options_.width);
  }

  int ReportOpen() {
    if (options_.json) {
      out_ << JsonHead() << "}\n";
    } else {
      out_ << LinkText() << " opened\n";
    }
    return 0;
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
    const int digits = options_.width / 4;
    if (options_.json) {
      out_ << JsonTransferHead() << ",\"registers\":[";
      for (std::size_t i = 0; i < readings.size(); ++i) {
        out_ << (i == 0 ? "" : ",") << "{\"register\":\"" << FormatHex(readings[i].reg, 2)
             << "\",\"value\":\"" << FormatHex(readings[i].value, digits) << "\"}";
      }
      out_ << "]}\n";
      return;
    }
    for (const Reading& reading : readings) {
      out_ << FormatHex(reading.reg, 2) << ": " << FormatHex(reading.value, digits) << "\n";
    }
  }

  int Read() {
    std::vector<Reading> readings;
    if (!Transfer(options_.registers, &readings)) {
      return Fail(LibraryError());
    }
    PrintReadings(readings);
    return 0;
  }

  int ReadStream() {
    std::vector<int16_t> entries(static_cast<std::size_t>(options_.streamCount), 0);
    std::vector<uint8_t> data(entries.size(), 0);
    auto size = static_cast<int16_t>(entries.size());
    if (ReadDevice(handle_, options_.port, BUS_STREAM, options_.deviceAddress, entries.data(),
                   data.data(), &size) == 0) {
      return Fail(LibraryError());
    }
    if (options_.json) {
      out_ << JsonTransferHead() << ",\"bytes\":[";
    }
    for (int i = 0; i < size; ++i) {
      const std::string byte = FormatHex(data[static_cast<std::size_t>(i)], 2);
      if (options_.json) {
        out_ << (i == 0 ? "\"" : ",\"") << byte << "\"";
      } else {
        out_ << (i == 0 ? "" : " ") << byte;
      }
    }
    out_ << (options_.json ? "]}\n" : "\n");
    return 0;
  }

  int Write() {
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
      return Fail(LibraryError());
    }
    if (options_.json) {
      out_ << JsonTransferHead() << ",\"written\":" << options_.registers.size() << "}\n";
    } else {
      out_ << "wrote " << options_.registers.size() << " register"
           << (options_.registers.size() == 1 ? "" : "s") << "\n";
    }
    return 0;
  }

  // Row by row, so a controller's limit per transfer is never reached and a
  // failure names the row.
  int Dump() {
    std::vector<Reading> readings;
    for (int row = 0; row < kDumpRegisters; row += kDumpRow) {
      std::vector<uint16_t> registers;
      for (int r = row; r < row + kDumpRow; ++r) {
        registers.push_back(static_cast<uint16_t>(r));
      }
      if (!Transfer(registers, &readings)) {
        return Fail(LibraryError() + " (registers " + FormatHex(static_cast<uint32_t>(row), 2) +
                    " to " + FormatHex(static_cast<uint32_t>(row + kDumpRow - 1), 2) + ")");
      }
    }
    if (options_.json) {
      PrintReadings(readings);
      return 0;
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
    return 0;
  }

  const Options& options_;
  std::ostream& out_;
  std::ostream& err_;
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
  std::vector<std::string> arguments(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!ParseCommandLine(arguments, &options, &error)) {
    err << kProgram << ": " << error << "\n"
        << "Try '" << kProgram << " --help'.\n";
    return 1;
  }
  if (options.action == Action::kHelp) {
    out << UsageText();
    return 0;
  }
  return Run(options, out, err);
}

}  // namespace dravik::cli
