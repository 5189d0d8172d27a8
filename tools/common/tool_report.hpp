#pragma once
// The one JSON schema of kestrova-cli and dravik-cli: every command prints
// one object whose first members are "tool" and "command", then what the
// command found, then "ok", "errors" and "warnings" (lists of message texts).
// Numbers are JSON numbers; hexadecimal appears only in texts meant for
// people. Where hardware is involved, "hardware" says which link and whether
// any hardware is in use at all.

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::tools {

// Exit status of both tools.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a transfer, file or hardware failure
inline constexpr int kExitUsage = 2;    // bad usage or a value the part cannot take

using Json = nlohmann::ordered_json;

class Report {
 public:
  Report(std::string_view tool, std::string_view command);

  // The command's own members, in the order they are set.
  Json& Body() { return body_; }
  void Error(std::string_view text) { errors_.emplace_back(text); }
  void Warn(std::string_view text) { warnings_.emplace_back(text); }
  const std::vector<std::string>& Errors() const { return errors_; }
  const std::vector<std::string>& Warnings() const { return warnings_; }

  // The whole document on one line, with its line end.
  std::string Document(bool ok) const;

 private:
  Json body_;
  std::vector<std::string> errors_;
  std::vector<std::string> warnings_;
};

// One JSON value as one line (no line end); bytes that are not UTF-8 become
// U+FFFD instead of failing the output.
std::string JsonText(const Json& value);

// The "hardware" member: "link" ("usb", "ich" or "none") and "inUse".
Json HardwareJson(std::string_view link, bool inUse);

// "0400:1100", as lsusb writes an ID.
std::string UsbIdText(unsigned vendorId, unsigned productId);

}  // namespace kestrova::tools
