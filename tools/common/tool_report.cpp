#include "tool_report.hpp"

#include <cstdio>

namespace kestrova::tools {

Report::Report(std::string_view tool, std::string_view command) : body_(Json::object()) {
  body_["tool"] = tool;
  body_["command"] = command;
}

std::string Report::Document(bool ok) const {
  Json document = body_;
  document["ok"] = ok;
  document["errors"] = errors_;
  document["warnings"] = warnings_;
  return JsonText(document) + "\n";
}

std::string JsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json HardwareJson(std::string_view link, bool inUse) {
  Json hardware = Json::object();
  hardware["link"] = link;
  hardware["inUse"] = inUse;
  return hardware;
}

std::string UsbIdText(unsigned vendorId, unsigned productId) {
  char text[16];
  std::snprintf(text, sizeof text, "%04x:%04x", vendorId & 0xFFFFu, productId & 0xFFFFu);
  return text;
}

}  // namespace kestrova::tools
