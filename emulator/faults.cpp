#include "emulator/faults.hpp"

#include <algorithm>
#include <charconv>

namespace kestrova::emulator {
namespace {

constexpr std::array<std::string_view, kFaultKindCount> kNames{
    "timeout", "short", "long", "nak", "disconnect", "download", "reset"};

size_t IndexOf(FaultKind kind) {
  return static_cast<size_t>(kind);
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
    text.remove_suffix(1);
  }
  return text;
}

}  // namespace

std::string_view FaultName(FaultKind kind) {
  return kNames[IndexOf(kind)];
}

std::optional<FaultKind> FaultFromName(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (kNames[i] == name) {
      return static_cast<FaultKind>(i);
    }
  }
  return std::nullopt;
}

void FaultPlan::Arm(FaultKind kind, uint32_t n) {
  const size_t i = IndexOf(kind);
  armedAt_[i].push_back(events_[i] + std::max<uint32_t>(n, 1));
}

bool FaultPlan::ArmFromText(std::string_view text, std::string* error) {
  std::vector<std::pair<FaultKind, uint32_t>> items;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = Trim(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    if (item.empty()) {
      continue;
    }
    const size_t at = item.find('@');
    const auto kind = FaultFromName(item.substr(0, at));
    uint32_t n = 1;
    bool ok = kind.has_value();
    if (ok && at != std::string_view::npos) {
      const std::string_view number = item.substr(at + 1);
      const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
      ok = ec == std::errc{} && end == number.data() + number.size() && n >= 1;
    }
    if (!ok) {
      if (error != nullptr) {
        *error = "bad fault \"" + std::string(item) +
                 "\" (expected timeout, short, long, nak, disconnect, download or reset, "
                 "optionally @n with n >= 1)";
      }
      return false;
    }
    items.emplace_back(*kind, n);
  }
  for (const auto& [kind, n] : items) {
    Arm(kind, n);
  }
  return true;
}

void FaultPlan::Clear() {
  for (auto& armed : armedAt_) {
    armed.clear();
  }
}

bool FaultPlan::Fire(FaultKind kind) {
  const size_t i = IndexOf(kind);
  const uint32_t event = ++events_[i];
  auto& armed = armedAt_[i];
  const auto it = std::find(armed.begin(), armed.end(), event);
  if (it == armed.end()) {
    return false;
  }
  armed.erase(it);
  return true;
}

size_t FaultPlan::Pending(FaultKind kind) const {
  return armedAt_[IndexOf(kind)].size();
}

}  // namespace kestrova::emulator
