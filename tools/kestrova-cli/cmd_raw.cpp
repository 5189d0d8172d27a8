// raw read|write: one register of any bus address, 8 or 16 bits, as the raw
// register dialog moves it.
#include "command_context.hpp"
#include "definition/numbers.hpp"
#include "engine/register_access.hpp"
#include "frontend/raw_register.hpp"
#include "part_session.hpp"

namespace kestrova::cli {

int RunRaw(CommandContext& context) {
  const CommandLine& line = context.line;
  const bool write = line.rawOperation == "write";
  const bool wide = line.wide;
  std::int16_t registerAddress = -1;
  if (line.rawRegister != "none") {
    const auto parsed = frontend::RawHexValue(WithoutHexPrefix(line.rawRegister));
    if (!parsed) {
      return context.Usage("\"" + line.rawRegister +
                           "\" is not a register address (hexadecimal or none)");
    }
    registerAddress = *parsed;
  }
  std::int16_t value = 0;
  if (write) {
    const auto parsed = frontend::RawDataValue(WithoutHexPrefix(line.rawValue), wide);
    if (!parsed) {
      return context.Usage("\"" + line.rawValue + "\" is not a " + (wide ? "16-bit" : "8-bit") +
                           " value in hexadecimal");
    }
    value = *parsed;
  }
  std::optional<std::int16_t> bus;
  if (line.bus) {
    bus = frontend::RawHexValue(WithoutHexPrefix(*line.bus));
    if (!bus) {
      return context.Usage("--bus takes a hexadecimal bus address, not \"" + *line.bus + "\"");
    }
  }

  PartSession part(line.global, context.messages);
  if (const int status = part.Open(); status != kExitOk) {
    return status;
  }
  part.Describe(context.Body());
  engine::Session& session = part.session;
  const std::int16_t busAddress = bus ? *bus : session.connection.deviceAddress;
  if (busAddress == -1) {
    return context.Usage("no bus address: give --bus HEX");
  }
  const bool ok = write ? engine::RegWrite(session, busAddress, registerAddress, value, wide)
                        : engine::RegRead(session, busAddress, registerAddress, value, wide);
  if (!ok) {
    return kExitFailure;
  }
  const std::string registerText =
      registerAddress == -1 ? "none"
                            : definition::Hex2(static_cast<std::uint16_t>(registerAddress));
  if (context.Json()) {
    tools::Json& body = context.Body();
    body["operation"] = line.rawOperation;
    body["bus"] = busAddress;
    body["register"] = registerAddress == -1 ? tools::Json(nullptr) : tools::Json(registerAddress);
    body["bits"] = wide ? 16 : 8;
    body["value"] = frontend::RawShownValue(value, wide);
  } else {
    std::printf("%s %s %s %s\n", definition::Hex2(static_cast<std::uint16_t>(busAddress)).c_str(),
                registerText.c_str(), write ? "<-" : "=",
                frontend::RawValueText(value, wide).c_str());
  }
  return kExitOk;
}

}  // namespace kestrova::cli
