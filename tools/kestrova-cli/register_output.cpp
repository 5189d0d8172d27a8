#include "register_output.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "cli_options.hpp"
#include "definition/numbers.hpp"
#include "frontend/text_encoding.hpp"

namespace kestrova::cli {

using frontend::Latin1ToTerminal;
using frontend::Latin1ToUtf8;
using frontend::PadRight;
using frontend::Utf8ToLatin1;

namespace {

using engine::FieldRow;
using engine::RegisterRow;

// Column widths of the text output.
constexpr std::size_t kCaptionWidth = 6;
constexpr std::size_t kTitleWidth = 10;
constexpr std::size_t kAccessWidth = 5;
constexpr std::size_t kLabelWidth = 32;
constexpr std::size_t kRawWidth = 9;

bool Shown(const FieldRow& field) {
  return field.visible && !field.hidden;
}

std::string RawText(std::int64_t raw) {
  return "0x" + definition::Hex2(static_cast<std::uint32_t>(raw));
}

std::string ControlName(engine::FieldControl control) {
  switch (control) {
    case engine::FieldControl::TextBox:
      return "textbox";
    case engine::FieldControl::Combo:
      return "combo";
    case engine::FieldControl::ScrollBar:
      return "scrollbar";
    case engine::FieldControl::Bits:
      break;
  }
  return "bits";
}

// The access as a column: the row's text, or what the field allows when the
// definition gives no `attr`.
std::string AccessColumn(const FieldRow& field) {
  if (!field.accessText.empty()) {
    return field.accessText;
  }
  if (field.readable && field.writable) {
    return "R/W";
  }
  return field.readable ? "R" : "W";
}

std::string WithUnits(const std::string& display, const std::string& units) {
  return units.empty() ? Latin1ToTerminal(display) : Latin1ToTerminal(display + " " + units);
}

std::string BytesText(const RegisterRow& reg) {
  std::string text;
  for (std::size_t i = 0; i < reg.addresses.size(); ++i) {
    text += (text.empty() ? "" : " ") +
            definition::Hex2(static_cast<std::uint32_t>(reg.addresses[i])) + "=" +
            definition::Hex2(reg.bytes[i]);
  }
  return text;
}

// The engineering value as a JSON number: twelve significant digits, so the
// scaling's rounding noise (25.250000000000004) does not reach scripts, and
// whole numbers stay whole.
tools::Json EngineeringValue(const engine::FormatSpec& format, std::int64_t raw) {
  const double value = engine::FormatDisplayValue(format, raw);
  if (!std::isfinite(value)) {
    return nullptr;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.12g", value);
  const double rounded = std::strtod(text, nullptr);
  if (rounded == std::trunc(rounded) && std::fabs(rounded) < 9.0e15) {
    return static_cast<std::int64_t>(rounded);
  }
  return rounded;
}

std::string Lower(std::string_view text) {
  return definition::LowerCase(text);
}

}  // namespace

std::string OneLineCaption(const std::string& caption) {
  std::string out;
  for (const char c : caption) {
    if (c != '\r' && c != '\n') {
      out += c;
    }
  }
  return out;
}

void PrintRegisters(std::FILE* out, const std::vector<const RegisterRow*>& registers) {
  for (const RegisterRow* reg : registers) {
    std::string line =
        PadRight(Latin1ToTerminal(OneLineCaption(reg->addressCaption)), kCaptionWidth) +
        PadRight(Latin1ToTerminal(reg->title.empty() ? "-" : reg->title), kTitleWidth) + " " +
        BytesText(*reg) + "  " + WithUnits(reg->displayText, reg->units);
    std::fprintf(out, "%s\n", line.c_str());
    for (const FieldRow& field : reg->fields) {
      if (!Shown(field)) {
        continue;
      }
      line = "  " +
             PadRight(Latin1ToTerminal(OneLineCaption(field.addressCaption)), kCaptionWidth) +
             PadRight(AccessColumn(field), kAccessWidth) +
             PadRight(Latin1ToTerminal(field.label), kLabelWidth) + " " +
             PadRight(RawText(field.raw), kRawWidth) + WithUnits(field.displayText, field.units);
      while (!line.empty() && line.back() == ' ') {
        line.pop_back();
      }
      std::fprintf(out, "%s\n", line.c_str());
    }
  }
}

tools::Json RegistersJson(const std::vector<const RegisterRow*>& registers) {
  tools::Json list = tools::Json::array();
  for (const RegisterRow* reg : registers) {
    tools::Json entry = tools::Json::object();
    entry["title"] = Latin1ToUtf8(reg->title);
    entry["group"] = Latin1ToUtf8(reg->group);
    entry["caption"] = Latin1ToUtf8(OneLineCaption(reg->addressCaption));
    entry["bytes"] = tools::Json::array();
    for (std::size_t i = 0; i < reg->addresses.size(); ++i) {
      entry["bytes"].push_back({{"address", reg->addresses[i]}, {"value", reg->bytes[i]}});
    }
    entry["raw"] = reg->value;
    entry["value"] = EngineeringValue(reg->format, reg->value);
    entry["display"] = Latin1ToUtf8(reg->displayText);
    entry["units"] = Latin1ToUtf8(reg->units);
    entry["log"] = reg->log;
    entry["hidden"] = reg->hidden;
    entry["fields"] = tools::Json::array();
    for (const FieldRow& field : reg->fields) {
      if (!Shown(field)) {
        continue;
      }
      tools::Json row = tools::Json::object();
      row["label"] = Latin1ToUtf8(field.label);
      row["caption"] = Latin1ToUtf8(OneLineCaption(field.addressCaption));
      row["readAddress"] = field.readAddress;
      row["writeAddress"] = field.writeAddress;
      row["access"] = AccessColumn(field);
      row["readOnly"] = field.readOnly;
      row["control"] = ControlName(field.control);
      row["raw"] = field.raw;
      const bool scaled = field.control == engine::FieldControl::TextBox ||
                          field.control == engine::FieldControl::ScrollBar;
      row["value"] = scaled ? EngineeringValue(field.format, field.raw) : tools::Json(field.raw);
      row["display"] = Latin1ToUtf8(field.displayText);
      row["units"] = Latin1ToUtf8(field.units);
      if (field.control == engine::FieldControl::Combo) {
        row["choices"] = tools::Json::array();
        for (const engine::ComboItem& item : field.choices) {
          row["choices"].push_back({{"label", Latin1ToUtf8(item.label)}, {"value", item.value}});
        }
      }
      entry["fields"].push_back(std::move(row));
    }
    list.push_back(std::move(entry));
  }
  return list;
}

bool SelectRegisters(const std::vector<RegisterRow>& view, const std::vector<std::string>& names,
                     std::vector<const RegisterRow*>& selected, std::string& error) {
  if (names.empty()) {
    for (const RegisterRow& reg : view) {
      if (!reg.hidden) {
        selected.push_back(&reg);
      }
    }
    return true;
  }
  for (const std::string& utf8Name : names) {
    const std::string name = Utf8ToLatin1(utf8Name);
    const RegisterRow* found = nullptr;
    const auto address = ParseHexArgument(name, 4);
    for (const RegisterRow& reg : view) {
      const bool byTitle = !reg.title.empty() && Lower(reg.title) == Lower(name);
      const bool byLabel = std::any_of(
          reg.fields.begin(), reg.fields.end(),
          [&](const FieldRow& f) { return f.visible && Lower(f.label) == Lower(name); });
      const bool byAddress =
          address && std::any_of(reg.fields.begin(), reg.fields.end(), [&](const FieldRow& f) {
            return static_cast<std::uint32_t>(f.readAddress) == *address ||
                   static_cast<std::uint32_t>(f.writeAddress) == *address;
          });
      if (byTitle || byLabel || byAddress) {
        found = &reg;
        break;
      }
    }
    if (found == nullptr) {
      error = "unknown register \"" + utf8Name + "\"";
      return false;
    }
    if (std::find(selected.begin(), selected.end(), found) == selected.end()) {
      selected.push_back(found);
    }
  }
  return true;
}

const FieldRow* FindField(const std::vector<RegisterRow>& view, const std::string& latin1Name,
                          std::string& error) {
  std::string registerName;
  std::string label = latin1Name;
  auto search = [&](bool exact, const std::string& wantedRegister,
                    const std::string& wantedLabel) -> std::vector<const FieldRow*> {
    std::vector<const FieldRow*> found;
    for (const RegisterRow& reg : view) {
      if (!wantedRegister.empty() && Lower(reg.title) != Lower(wantedRegister)) {
        continue;
      }
      for (const FieldRow& field : reg.fields) {
        if (!Shown(field)) {
          continue;
        }
        if (exact ? field.label == wantedLabel : Lower(field.label) == Lower(wantedLabel)) {
          found.push_back(&field);
        }
      }
    }
    return found;
  };
  std::vector<const FieldRow*> found = search(true, "", label);
  if (found.empty()) {
    found = search(false, "", label);
  }
  if (found.empty()) {
    const std::size_t slash = latin1Name.find('/');
    if (slash != std::string::npos) {
      registerName = latin1Name.substr(0, slash);
      label = latin1Name.substr(slash + 1);
      found = search(false, registerName, label);
    }
  }
  if (found.size() == 1) {
    return found.front();
  }
  if (found.empty()) {
    error = "unknown bit field \"" + Latin1ToUtf8(latin1Name) + "\"";
  } else {
    error = "\"" + Latin1ToUtf8(latin1Name) + "\" names " + std::to_string(found.size()) +
            " bit fields; write REGISTER/LABEL with the register's title";
  }
  return nullptr;
}

}  // namespace kestrova::cli
