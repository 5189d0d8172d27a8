#include "cli_list.hpp"

#include <cstring>
#include <iomanip>

#include "dravik/dravik.h"
#include "emulated_board_state.hpp"
#include "i2c_adapters.hpp"
#include "usb_boards.hpp"

namespace dravik::cli {
namespace {

using kestrova::tools::I2cAdapter;
using kestrova::tools::I2cClient;
using kestrova::tools::Json;
using kestrova::tools::kEmulatedSmbusController;
using kestrova::tools::UsbBoard;
using kestrova::tools::UsbIdText;

std::string ClientText(const I2cClient& client) {
  char address[8];
  std::snprintf(address, sizeof address, "0x%02x", client.address);
  return std::string(address) + " " + client.name +
         (client.driver.empty() ? "" : " (driver " + client.driver + ")");
}

Json AdapterJson(const I2cAdapter& adapter) {
  Json entry = Json::object();
  entry["number"] = adapter.number;
  entry["name"] = adapter.name;
  entry["device"] = adapter.device;
  entry["type"] = adapter.plainI2c ? "i2c" : "smbus";
  entry["byteData"] = adapter.byteData ? Json(*adapter.byteData) : Json(nullptr);
  entry["problem"] = adapter.problem;
  entry["clients"] = Json::array();
  for (const I2cClient& client : adapter.clients) {
    entry["clients"].push_back(
        {{"address", client.address}, {"name", client.name}, {"driver", client.driver}});
  }
  return entry;
}

Json BoardJson(const UsbBoard& board) {
  return {{"vendorId", board.vendorId},
          {"productId", board.productId},
          {"id", UsbIdText(board.vendorId, board.productId)},
          {"port", board.port},
          {"bus", board.bus},
          {"address", board.address},
          {"product", board.product},
          {"serial", board.serial},
          {"firmwareRunning", board.firmwareRunning},
          {"problem", board.problem}};
}

void PrintAdapters(const std::vector<I2cAdapter>& adapters, std::ostream& out) {
  out << "I2C adapters:" << (adapters.empty() ? " none (no /sys/class/i2c-adapter entries)" : "")
      << "\n";
  for (const I2cAdapter& adapter : adapters) {
    const std::string functions = !adapter.byteData   ? "-"
                                  : *adapter.byteData ? "byte-data"
                                                      : "no byte-data";
    out << "  " << std::left << std::setw(8) << ("i2c-" + std::to_string(adapter.number))
        << std::setw(7) << (adapter.plainI2c ? "i2c" : "smbus") << std::setw(14) << functions
        << adapter.name << "\n";
    if (!adapter.problem.empty()) {
      out << "          " << adapter.problem << "\n";
    }
    for (const I2cClient& client : adapter.clients) {
      out << "          " << ClientText(client) << "\n";
    }
  }
}

void PrintBoards(const std::vector<UsbBoard>& boards, std::ostream& out) {
  out << "USB boards:" << (boards.empty() ? " none" : "") << "\n";
  for (const UsbBoard& board : boards) {
    out << "  " << std::left << std::setw(8) << board.port << std::setw(11)
        << UsbIdText(board.vendorId, board.productId) << std::setw(19)
        << (board.firmwareRunning ? "firmware running" : "no firmware") << "serial "
        << (board.serial.empty() ? "-" : board.serial)
        << (board.product.empty() ? "" : "  " + board.product) << "\n";
    if (!board.problem.empty()) {
      out << "          " << board.problem << "\n";
    }
  }
}

// The emulated bench as the exports see it: its first board (found, its
// identity, whether it runs the firmware) and whether its SMBus
// controller opens.
Json EmulatedBench() {
  Json bench = Json::object();
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  const bool running = OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle) != 0;
  char text[DRAVIK_ERROR_TEXT_SIZE] = {};
  if (!running) {
    LastErrorDevice(text);
  }
  if (handle != -1) {
    CloseDevice(handle);
  }
  const bool found = running || std::strcmp(text, "Error, CodeFileName is NULL") == 0;
  bench["board"] = found ? Json{{"vendorId", vidPid[0]},
                                {"productId", vidPid[1]},
                                {"id", UsbIdText(vidPid[0], vidPid[1])},
                                {"firmwareRunning", running}}
                         : Json(nullptr);
  const bool controller =
      OpenDevice(LINK_SMBUS, kEmulatedSmbusController, vidPid, 0, nullptr, &handle);
  if (controller) {
    CloseDevice(handle);
  }
  bench["smbus"] = controller ? Json(kEmulatedSmbusController) : Json(nullptr);
  return bench;
}

void PrintEmulated(const Json& bench, std::ostream& out) {
  out << "Emulated board: ";
  if (bench["board"].is_null()) {
    out << "none\n";
  } else {
    out << bench["board"]["id"].get<std::string>() << ", "
        << (bench["board"]["firmwareRunning"].get<bool>() ? "firmware running" : "no firmware")
        << "\n";
  }
  out << "Emulated SMBus controller: "
      << (bench["smbus"].is_null() ? "none" : "--smbus " + bench["smbus"].get<std::string>())
      << "\n";
}

}  // namespace

void ListHardware(const Options& options, kestrova::tools::Report& report, std::ostream& out) {
  const std::vector<I2cAdapter> adapters = kestrova::tools::ListI2cAdapters();
  std::string problem;
  const std::vector<UsbBoard> boards = kestrova::tools::ListUsbBoards(problem);
  Json& body = report.Body();
  body["adapters"] = Json::array();
  for (const I2cAdapter& adapter : adapters) {
    body["adapters"].push_back(AdapterJson(adapter));
  }
  body["boards"] = Json::array();
  for (const UsbBoard& board : boards) {
    body["boards"].push_back(BoardJson(board));
  }
  if (!problem.empty()) {
    report.Warn(problem);
  }
  if (options.emulated) {
    body["emulated"] = EmulatedBench();
  }
  if (options.json) {
    return;
  }
  PrintAdapters(adapters, out);
  PrintBoards(boards, out);
  if (options.emulated) {
    PrintEmulated(body["emulated"], out);
  }
}

}  // namespace dravik::cli
