#include "engine/definition_layout.hpp"

#include <string_view>
#include <utility>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

using definition::IsHexText;
using definition::ParseHex;
using markup::MarkupStore;

using definition::kMaxRegisterAddress;

// Element depths of the definition tree.
constexpr int kPartLevel = 1;
constexpr int kRegisterLevel = 2;
constexpr int kBitfieldLevel = 3;
constexpr int kBitfieldChildLevel = 4;
constexpr int kConditionLevel = 5;

// Visits every element `name` at `level` inside the scope of the cursor; the
// visitor may move the cursor. False when the index stack is full.
template <typename Visit>
bool ForEachElement(MarkupStore& store, int level, std::string_view name, Visit&& visit) {
  if (!store.PushIndex()) {
    return false;
  }
  bool ok = true;
  while (ok && store.FindElement(level, name)) {
    const int at = store.XmlFileIndex();
    ok = visit(at);
    store.SetXmlFileIndex(at);
  }
  store.PopIndex();
  return ok;
}

// Reads the elements of one part definition; stops at the first problem.
class LayoutReader {
 public:
  explicit LayoutReader(MarkupStore& store) : store_(store) {}

  LayoutResult Read() {
    LayoutResult result;
    result.layout.lineCount = store_.LineCount();
    if (!store_.PushIndex()) {
      result.problem = "The part definition cannot be walked (index stack full)";
      return result;
    }
    if (store_.FindElement(0, "definition") && store_.FindElement(kPartLevel, "part")) {
      result.layout.hasPart = true;
      const bool ok = ForEachElement(store_, kRegisterLevel, "register",
                                     [&](int line) { return ReadRegister(line, result.layout); });
      if (!ok && problem_.empty()) {
        problem_ = "The part definition nests too deeply to be walked";
      }
    }
    store_.PopIndex();
    result.problem = std::move(problem_);
    return result;
  }

 private:
  bool Fail(int line, const std::string& what) {
    problem_ = what + " (" + DefinitionLineText(store_, line) + ")";
    return false;
  }

  bool ReadRegister(int line, DefinitionLayout& layout) {
    RegisterLayout reg;
    reg.line = line;
    reg.log = store_.GetAttributeView("log") == "true";
    reg.verify = store_.GetAttributeView("verify") == "true";
    reg.usbOnly = store_.GetAttributeView("usb") == "true";
    reg.updateReg = std::string(store_.GetAttributeView("updatereg"));
    if (!reg.updateReg.empty() && !ParseHex(reg.updateReg)) {
      return Fail(line, "The register's updatereg \"" + reg.updateReg + "\" is not hexadecimal");
    }
    if (!ReadHide(kBitfieldLevel, reg.hide)) {
      return false;
    }
    store_.SetXmlFileIndex(line);
    reg.firstBitfield = static_cast<int>(layout.bitfields.size());
    const bool ok = ForEachElement(store_, kBitfieldLevel, "bitfield",
                                   [&](int fieldLine) { return ReadBitfield(fieldLine, layout); });
    if (!ok) {
      return false;
    }
    reg.bitfieldCount = static_cast<int>(layout.bitfields.size()) - reg.firstBitfield;
    layout.registers.push_back(std::move(reg));
    return true;
  }

  bool ReadBitfield(int line, DefinitionLayout& layout) {
    BitfieldLayout field;
    field.line = line;
    const std::string addr(store_.GetAttributeView("addr"));
    if (!ReadAddressPair(line, addr, "bit field", field.readAddress, field.writeAddress)) {
      return false;
    }
    field.byteBits = FieldBitsAt(store_, true);
    field.attr = std::string(store_.GetAttributeView("attr"));
    const std::string value(store_.GetAttributeView("value"));
    if (!IsHexText(value)) {
      return Fail(line, "The bit field's value \"" + value + "\" is not hexadecimal");
    }
    const std::string check(store_.GetAttributeView("checkvalue"));
    if (!check.empty()) {
      const auto parsed = ParseHex(check);
      if (!parsed) {
        return Fail(line, "The bit field's checkvalue \"" + check + "\" is not hexadecimal");
      }
      field.checkValue = *parsed;
    }
    if (!ReadHide(kBitfieldChildLevel, field.hide)) {
      return false;
    }
    store_.SetXmlFileIndex(line);
    const bool ok = ForEachElement(store_, kBitfieldChildLevel, "add",
                                   [&](int addLine) { return ReadAdd(addLine, field); });
    if (!ok) {
      return false;
    }
    layout.bitfields.push_back(std::move(field));
    return true;
  }

  bool ReadAdd(int line, BitfieldLayout& field) {
    const std::string_view type = store_.GetAttributeView("type");
    if (type == "attr") {
      AccessRule rule;
      rule.attr = std::string(store_.GetAttributeView("attr"));
      const bool ok = ForEachElement(store_, kConditionLevel, "attr", [&](int conditionLine) {
        FieldCondition condition;
        if (!ReadCondition(conditionLine, condition)) {
          return false;
        }
        rule.conditions.push_back(condition);
        return true;
      });
      if (!ok) {
        return false;
      }
      field.accessRules.push_back(std::move(rule));
      return true;
    }
    OrderRule rule;
    if (type == "readfirst") {
      rule.type = OrderType::ReadFirst;
    } else if (type == "readlast") {
      rule.type = OrderType::ReadLast;
    } else if (type == "writefirst") {
      rule.type = OrderType::WriteFirst;
    } else if (type == "writelast") {
      rule.type = OrderType::WriteLast;
    } else {
      return true;  // combo lists and other additions do not concern transfers
    }
    const std::string_view orderText = store_.GetAttributeView("order");
    if (!orderText.empty()) {
      const std::optional<int> order = definition::ParseTransferOrder(orderText);
      if (!order) {
        return Fail(line,
                    "The transfer order \"" + std::string(orderText) + "\" lies outside 1..255");
      }
      rule.order = *order;
    }
    rule.always = store_.GetAttributeView("always") == "true";
    const std::string_view valueText = store_.GetAttributeView("value");
    rule.anyValue = valueText.empty();
    if (!rule.anyValue) {
      const auto parsed = ParseHex(valueText);
      if (!parsed) {
        return Fail(line, "The transfer order rule's value \"" + std::string(valueText) +
                              "\" is not hexadecimal");
      }
      rule.value = *parsed;
    }
    field.orderRules.push_back(rule);
    return true;
  }

  // The first `hide` child at `level` below the cursor's element.
  bool ReadHide(int level, HideCondition& hide) {
    if (!store_.PushIndex()) {
      return Fail(store_.XmlFileIndex(), "The part definition nests too deeply to be walked");
    }
    bool ok = true;
    if (store_.FindElement(level, "hide")) {
      hide.present = true;
      hide.negate = store_.GetAttributeView("not") == "true";
      ok = ReadCondition(store_.XmlFileIndex(), hide.field);
    }
    store_.PopIndex();
    return ok;
  }

  bool ReadCondition(int line, FieldCondition& condition) {
    const std::string addr(store_.GetAttributeView("addr"));
    std::int32_t writeAddress = 0;
    if (!ReadAddressPair(line, addr, "condition", condition.address, writeAddress)) {
      return false;
    }
    condition.bits = FieldBitsAt(store_, true);
    const std::string value(store_.GetAttributeView("value"));
    const auto parsed = ParseHex(value);
    if (!parsed) {
      return Fail(line, "The condition's value \"" + value + "\" is not hexadecimal");
    }
    condition.value = *parsed;
    return true;
  }

  bool ReadAddressPair(int line, const std::string& addr, const char* what,
                       std::int32_t& readAddress, std::int32_t& writeAddress) {
    const definition::AddressPair halves = definition::ReadAddressPair(store_);
    const auto read = ParseHex(halves.read);
    const auto write = ParseHex(halves.write);
    if (!read || !write || *read < 0 || *read > kMaxRegisterAddress || *write < 0 ||
        *write > kMaxRegisterAddress) {
      return Fail(line, std::string("The ") + what + "'s addr \"" + addr +
                            "\" is not a hexadecimal register address (0..7FFF)");
    }
    readAddress = *read;
    writeAddress = *write;
    return true;
  }

  MarkupStore& store_;
  std::string problem_;
};

}  // namespace

bool FieldCondition::Holds(const RegisterImages& images) const {
  return ExtractField(images.ValueAt(address), bits) == value;
}

bool HideCondition::Hides(const RegisterImages& images) const {
  if (!present) {
    return false;
  }
  return field.Holds(images) != negate;
}

LayoutResult ReadDefinitionLayout(MarkupStore& store) {
  return LayoutReader(store).Read();
}

std::string DefinitionLineText(const MarkupStore& store, int line) {
  const int sourceLine = store.SourceLine(line);
  if (sourceLine > 0) {
    return "line " + std::to_string(sourceLine) + " of the part definition";
  }
  return "generated line " + std::to_string(line) + " of the part definition";
}

}  // namespace kestrova::engine
