// raw read|write: one register of any bus address, 8 or 16 bits, as the raw
// register dialog moves it.
#include "command_context.hpp"
#include "definition/numbers.hpp"
#include "engine/register_access.hpp"
#include "part_session.hpp"

namespace kestrova::cli {

namespace {

// The dialog's boxes hold 16-bit hexadecimal numbers.
constexpr int kWordDigits = 4;
constexpr int kByteDigits = 2;

std::string Padded(std::uint32_t value, int digits) {
  std::string text = definition::HexText(value);
  if (static_cast<int>(text.size()) < digits) {
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  }
  return text;
}

}  // namespace

int RunRaw(CommandContext& context) {
  const CommandLine& line = context.line;
  const bool write = line.rawOperation == "write";
  const bool wide = line.wide;
  std::int16_t registerAddress = -1;
  if (line.rawRegister != "none") {
    const auto parsed = ParseHexArgument(line.rawRegister, kWordDigits);
    if (!parsed) {
      return context.Usage("\"" + line.rawRegister +
                           "\" is not a register address (hexadecimal or none)");
    }
    registerAddress = static_cast<std::int16_t>(*parsed);
  }
  std::uint32_t value = 0;
  if (write) {
    const auto parsed = ParseHexArgument(line.rawValue, wide ? kWordDigits : kByteDigits);
    if (!parsed) {
      return context.Usage("\"" + line.rawValue + "\" is not a " + (wide ? "16-bit" : "8-bit") +
                           " value in hexadecimal");
    }
    value = *parsed;
  }
  std::optional<std::int16_t> bus;
  if (line.bus) {
    const auto parsed = ParseHexArgument(*line.bus, kWordDigits);
    if (!parsed) {
      return context.Usage("--bus takes a hexadecimal bus address, not \"" + *line.bus + "\"");
    }
    bus = static_cast<std::int16_t>(*parsed);
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
  const int digits = wide ? kWordDigits : kByteDigits;
  bool ok = false;
  if (write) {
    ok = engine::RegWrite(session, busAddress, registerAddress, static_cast<std::int16_t>(value),
                          wide);
  } else {
    std::int16_t read = 0;
    ok = engine::RegRead(session, busAddress, registerAddress, read, wide);
    value = wide ? static_cast<std::uint16_t>(read) : static_cast<std::uint8_t>(read);
  }
  if (!ok) {
    return kExitFailure;
  }
  const std::string registerText =
      registerAddress == -1 ? "none" : Padded(static_cast<std::uint16_t>(registerAddress), 2);
  if (context.Json()) {
    tools::Json& body = context.Body();
    body["operation"] = line.rawOperation;
    body["bus"] = busAddress;
    body["register"] = registerAddress == -1 ? tools::Json(nullptr) : tools::Json(registerAddress);
    body["bits"] = wide ? 16 : 8;
    body["value"] = value;
  } else {
    std::printf("%s %s %s %s\n", Padded(static_cast<std::uint16_t>(busAddress), 2).c_str(),
                registerText.c_str(), write ? "<-" : "=", Padded(value, digits).c_str());
  }
  return kExitOk;
}

}  // namespace kestrova::cli
