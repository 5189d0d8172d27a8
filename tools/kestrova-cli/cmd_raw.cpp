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
  CommandArguments arguments({"--16"}, {"--bus"});
  std::string error;
  if (!arguments.Parse(context.line.arguments, error)) {
    return context.Usage(error);
  }
  const std::vector<std::string>& positional = arguments.Positional();
  if (positional.empty() || (positional[0] != "read" && positional[0] != "write")) {
    return context.Usage("raw takes read or write");
  }
  const bool write = positional[0] == "write";
  if (positional.size() != (write ? 3u : 2u)) {
    return context.Usage(write ? "raw write takes REG|none VALUE" : "raw read takes REG|none");
  }
  const bool wide = arguments.Flag("--16");
  std::int16_t registerAddress = -1;
  if (positional[1] != "none") {
    const auto parsed = ParseHexArgument(positional[1], kWordDigits);
    if (!parsed) {
      return context.Usage("\"" + positional[1] +
                           "\" is not a register address (hexadecimal or none)");
    }
    registerAddress = static_cast<std::int16_t>(*parsed);
  }
  std::uint32_t value = 0;
  if (write) {
    const auto parsed = ParseHexArgument(positional[2], wide ? kWordDigits : kByteDigits);
    if (!parsed) {
      return context.Usage("\"" + positional[2] + "\" is not a " + (wide ? "16-bit" : "8-bit") +
                           " value in hexadecimal");
    }
    value = *parsed;
  }
  std::optional<std::int16_t> bus;
  if (const auto text = arguments.Value("--bus")) {
    const auto parsed = ParseHexArgument(*text, kWordDigits);
    if (!parsed) {
      return context.Usage("--bus takes a hexadecimal bus address, not \"" + *text + "\"");
    }
    bus = static_cast<std::int16_t>(*parsed);
  }

  PartSession part(context.line.global, context.messages);
  if (const int status = part.Open(); status != kExitOk) {
    return status;
  }
  engine::Session& session = part.session;
  const std::int16_t busAddress = bus ? *bus : session.connection.deviceAddress;
  if (busAddress == -1) {
    return context.Usage("no bus address: give --bus HEX");
  }
  if (session.connection.deviceHandle == engine::kNoDevice) {
    context.messages.Warn("no hardware is open (link none): nothing is transferred");
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
    context.json.Member("operation", positional[0]);
    context.json.Member("bus", static_cast<std::int64_t>(busAddress));
    context.json.Key("register");
    if (registerAddress == -1) {
      context.json.Null();
    } else {
      context.json.Number(registerAddress);
    }
    context.json.Member("bits", wide ? 16 : 8);
    context.json.Member("value", static_cast<std::int64_t>(value));
    context.json.Member("hex", Padded(value, digits));
  } else {
    std::printf("%s %s %s %s\n", Padded(static_cast<std::uint16_t>(busAddress), 2).c_str(),
                registerText.c_str(), write ? "<-" : "=", Padded(value, digits).c_str());
  }
  return kExitOk;
}

}  // namespace kestrova::cli
