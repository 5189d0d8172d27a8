#include "engine/register_access.hpp"

#include <array>
#include <fstream>
#include <string>

#include "definition/numbers.hpp"
#include "engine/session.hpp"

namespace kestrova::engine {

namespace {

// Room for a 16-bit register: two entries, plus the spare the lists carry.
constexpr std::size_t kSingleRegisterList = 3;
constexpr std::int16_t kByteMax = 255;

void AppendLine(const std::string& path, const std::string& line) {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << line << "\r\n";
  file.flush();
}

}  // namespace

std::string WriteLogLine(std::span<const std::int16_t> registers,
                         std::span<const std::uint8_t> data, int count) {
  std::string line;
  for (int i = 0; i < count && static_cast<std::size_t>(i) < registers.size() &&
                  static_cast<std::size_t>(i) < data.size();
       ++i) {
    line += definition::Hex2(static_cast<std::uint16_t>(registers[static_cast<std::size_t>(i)]));
    line += '=';
    line += definition::Hex2(data[static_cast<std::size_t>(i)]);
    line += ' ';
  }
  return line;
}

bool LoggedWrite(Session& session, DeviceHandle handle, std::int16_t port, std::int16_t busType,
                 std::int16_t deviceAddress, std::span<const std::int16_t> registers,
                 std::span<const std::uint8_t> data, std::int16_t& count, bool ignoreFailures) {
  if ((session.connection.testFlags & kTestWriteLog) != 0) {
    AppendLine(session.connection.deviceFolder + "/" + kWriteLogName,
               WriteLogLine(registers, data, count));
  }
  return session.Bridge().WriteBoard(handle, port, busType, deviceAddress, registers, data, count,
                                     ignoreFailures);
}

bool RegRead(Session& session, std::int16_t deviceAddress, std::int16_t registerAddress,
             std::int16_t& value, bool wide) {
  std::array<std::int16_t, kSingleRegisterList> registers = {registerAddress, registerAddress, 0};
  std::array<std::uint8_t, kSingleRegisterList> data{};
  std::int16_t count = wide ? 2 : 1;
  const ConnectionValues& c = session.connection;
  const bool ok = session.Bridge().ReadBoard(c.deviceHandle, c.port, c.busType, deviceAddress,
                                             registers, data, count, session.IgnoreFailures());
  value = wide ? JoinWord(data[0], data[1]) : static_cast<std::int16_t>(data[0]);
  if (!ok) {
    session.ShowMessage(session.Bridge().BoardErrorText());
  }
  return ok;
}

bool RegWrite(Session& session, std::int16_t deviceAddress, std::int16_t registerAddress,
              std::int16_t value, bool wide) {
  std::array<std::int16_t, kSingleRegisterList> registers = {registerAddress, registerAddress, 0};
  std::array<std::uint8_t, kSingleRegisterList> data{};
  std::int16_t count = 1;
  if (wide) {
    const WordBytes bytes = SplitWord(value);
    data[0] = bytes.high;
    data[1] = bytes.low;
    count = 2;
  } else if (value < 0 || value > kByteMax) {
    session.ShowMessage("Register value " + std::to_string(value) + " does not fit 8 bits");
    return false;
  } else {
    data[0] = static_cast<std::uint8_t>(value);
  }
  const ConnectionValues& c = session.connection;
  const bool ok = LoggedWrite(session, c.deviceHandle, c.port, c.busType, deviceAddress, registers,
                              data, count, session.IgnoreFailures());
  if (!ok) {
    session.ShowMessage(session.Bridge().BoardErrorText());
  }
  return ok;
}

}  // namespace kestrova::engine
