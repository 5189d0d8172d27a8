#include "definition/checker.hpp"

#include <functional>
#include <map>
#include <optional>
#include <utility>

#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "definition/schema.hpp"
#include "markup/document_io.hpp"

namespace kestrova::definition {

using markup::MarkupStore;

namespace {

// A bit number of a register value: the value conversions work on at most 32
// bits (a register of more bytes than two travels as bytes like any other).
constexpr int kHighestBit = 31;
// Entries of one transfer list, and what a repeated (verified) byte takes.
constexpr int kMaxEntries = 2049;
constexpr int kVerifiedEntries = 7;

class Checker {
 public:
  Checker(MarkupStore& store, std::string_view fileLabel) : store_(store), label_(fileLabel) {}

  std::vector<std::string> Run() {
    const int saved = store_.XmlFileIndex();
    if (!store_.FindElement(0, "definition")) {
      Report(0, "the file has no root element definition");
    } else if (!store_.FindElement(1, "part")) {
      Report(store_.SourceLine(1), "definition has no part element; no registers are shown");
    } else {
      CheckPart();
    }
    store_.SetXmlFileIndex(saved);
    return std::move(problems_);
  }

 private:
  // Runs `check` with the cursor on each child `name` at `level` of the element
  // at the cursor; the cursor is back on that element afterwards.
  void ForEachChild(int level, std::string_view name, const std::function<void()>& check) {
    const int parent = store_.XmlFileIndex();
    while (store_.FindElement(level, name)) {
      const int child = store_.XmlFileIndex();
      check();
      store_.SetXmlFileIndex(child);
    }
    store_.SetXmlFileIndex(parent);
  }

  // Runs `check` on the first child `name` at `level`, if any.
  void FirstChild(int level, std::string_view name, const std::function<void()>& check) {
    const int parent = store_.XmlFileIndex();
    if (store_.FindElement(level, name)) {
      check();
    }
    store_.SetXmlFileIndex(parent);
  }

  std::string ElementName() const {
    const std::string_view line = store_.Line(store_.XmlFileIndex());
    const std::size_t lt = line.find('<');
    if (lt == std::string_view::npos) {
      return {};
    }
    std::string_view rest = line.substr(lt + 1);
    const std::size_t cut = rest.find_first_of(" />");
    return std::string(rest.substr(0, cut));
  }

  void Report(int line, std::string_view text) {
    problems_.push_back(std::string(label_) + ":" + std::to_string(line) + ": " +
                        std::string(text));
  }

  void ReportAttribute(std::string_view attribute, std::string_view text) {
    Report(store_.SourceLine(store_.XmlFileIndex()),
           ElementName() + " attribute " + std::string(attribute) + " " + std::string(text));
  }

  static std::string Quoted(std::string_view value) { return "\"" + std::string(value) + "\""; }

  // A required hexadecimal attribute.
  void RequireHex(std::string_view attribute) {
    const std::string_view value = store_.GetAttributeView(attribute);
    if (value.empty()) {
      ReportAttribute(attribute, "is missing");
    } else if (!IsHexText(value)) {
      ReportAttribute(attribute, Quoted(value) + " is not hexadecimal");
    }
  }

  // A hexadecimal attribute that may be absent or empty.
  void OptionalHex(std::string_view attribute) {
    const std::string_view value = store_.GetAttributeView(attribute);
    if (!value.empty() && !IsHexText(value)) {
      ReportAttribute(attribute, Quoted(value) + " is not hexadecimal");
    }
  }

  // `addr`: one hexadecimal address, or a read and a write address joined by ":".
  void RequireAddressPair() {
    const std::string_view value = store_.GetAttributeView("addr");
    if (value.empty()) {
      ReportAttribute("addr", "is missing");
      return;
    }
    const std::size_t colon = value.find(':');
    const std::string_view read = value.substr(0, colon);
    const std::string_view write = colon == std::string_view::npos ? read : value.substr(colon + 1);
    if (!IsHexText(read) || !IsHexText(write)) {
      ReportAttribute("addr", Quoted(value) + " is not hexadecimal");
    } else if (!IsRegisterAddress(read) || !IsRegisterAddress(write)) {
      ReportAttribute("addr", Quoted(value) + " is not a register address (0 to 7FFF)");
    }
  }

  static bool IsRegisterAddress(std::string_view text) {
    const auto address = ParseHex(text);
    return address && *address >= 0 && *address <= kMaxRegisterAddress;
  }

  // The width in bits of the field at the cursor within its byte, from a
  // valid `bit`; 0 when `bit` is absent or not a bit range.
  int ByteWidth() const {
    const std::string_view text = store_.GetAttributeView("bit");
    if (!IsBitRange(text)) {
      return 0;
    }
    const BitRange bits = ReadBitRange(store_, "bit");
    return bits.high % 8 - bits.low % 8 + 1;
  }

  // A hexadecimal value that must fit the field's bits (checked valid before).
  void CheckFits(std::string_view attribute, int width) {
    const auto value = ParseHex(store_.GetAttributeView(attribute));
    if (value && width > 0 && (*value < 0 || *value >= (1 << width))) {
      ReportAttribute(attribute, Quoted(store_.GetAttributeView(attribute)) + " does not fit " +
                                     std::to_string(width) + (width == 1 ? " bit" : " bits"));
    }
  }

  static bool IsBitNumber(std::string_view text) {
    const auto number = ParseDecimalInteger(text);
    return number && *number >= 0 && *number <= kHighestBit;
  }

  // A range of bit numbers: "high:low" or one number, each from 31 down to 0.
  static bool IsBitRange(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
      return IsBitNumber(text);
    }
    const std::string_view high = text.substr(0, colon);
    const std::string_view low = text.substr(colon + 1);
    return IsBitNumber(high) && IsBitNumber(low) &&
           *ParseDecimalInteger(high) >= *ParseDecimalInteger(low);
  }

  void CheckBitRange(std::string_view attribute, bool required) {
    const std::string_view value = store_.GetAttributeView(attribute);
    if (value.empty()) {
      if (required) {
        ReportAttribute(attribute, "is missing");
      }
      return;
    }
    if (!IsBitRange(value)) {
      ReportAttribute(attribute, Quoted(value) + " is not a bit range (high:low, 31 to 0)");
    } else if (attribute == "bit") {
      // A byte transfer carries the field: its bits lie in one byte.
      const BitRange bits = ReadBitRange(store_, attribute);
      if (bits.high / 8 != bits.low / 8) {
        ReportAttribute(attribute, Quoted(value) + " crosses a byte boundary");
      }
    }
  }

  void CheckRegBit() {
    const std::string_view value = store_.GetAttributeView("regbit");
    if (!value.empty() && UpperCase(value) != "NONE" && !IsBitRange(value)) {
      ReportAttribute("regbit", Quoted(value) + " is not a bit range (high:low, 31 to 0) or none");
    }
  }

  // A condition names a field (addr, bit or regbit) and a value.
  void CheckCondition() {
    RequireAddressPair();
    CheckBitRange("bit", store_.GetAttributeView("regbit").empty());
    CheckRegBit();
    RequireHex("value");
    CheckFits("value", ByteWidth());
  }

  void CheckPart() {
    // Only the first driver and interface are used.
    FirstChild(2, "driver", [this] {
      ForEachChild(3, "add", [this] {
        if (LowerCase(store_.GetAttributeView("type")) == "usb") {
          RequireHex("vid");
          RequireHex("pid");
          ForEachChild(4, "port", [this] {
            RequireHex("addr");
            RequireHex("value");
          });
        }
      });
    });
    FirstChild(2, "interface", [this] {
      FirstChild(3, "addr", [this] {
        RequireHex("value");
        ForEachChild(4, "add", [this] {
          if (store_.GetAttributeView("type") == "combo") {
            ForEachChild(5, "combo", [this] { RequireHex("label"); });
          }
        });
      });
    });
    ForEachChild(2, "register", [this] { CheckRegister(); });
  }

  void CheckRegister() {
    verify_ = ReadFlag(store_, "verify");
    firstOfRegister_ = true;
    const int line = store_.XmlFileIndex();
    registerHidden_ = store_.FindElement(3, "hide");
    store_.SetXmlFileIndex(line);
    OptionalHex("groupaddrmask");
    OptionalHex("updatereg");
    const bool edits =
        ReadFlag(store_, "scrollbar") || store_.GetAttributeView("textbox") == "true";
    CheckNumberFormat(edits);
    FirstChild(3, "hide", [this] { CheckCondition(); });
    ForEachChild(3, "add", [this] {
      const std::string_view type = store_.GetAttributeView("type");
      if (type == "updatereg") {
        ForEachChild(4, "updatereg", [this] {
          RequireHex("addr");
          RequireHex("value");
        });
      } else if (type == "display") {
        CheckRangeAlternative();
        ForEachChild(4, "display", [this] { CheckCondition(); });
      }
    });
    ForEachChild(3, "bitfield", [this] { CheckBitfield(); });
  }

  void CheckBitfield() {
    RequireAddressPair();
    CheckBitRange("bit", true);
    CheckRegBit();
    RequireHex("value");
    OptionalHex("checkvalue");
    OptionalHex("displaydivreg");
    CountEntry();
    const int width = ByteWidth();
    CheckFits("value", width);
    CheckFits("checkvalue", width);
    CheckNumberFormat(ReadFlag(store_, "textbox") || ReadFlag(store_, "scrollbar"));
    FirstChild(4, "hide", [this] { CheckCondition(); });
    const AddressPair addresses = ReadAddressPair(store_);
    ForEachChild(4, "add", [&] {
      const std::string_view type = store_.GetAttributeView("type");
      if (type == "attr") {
        ForEachChild(5, "attr", [this] { CheckCondition(); });
      } else if (type == "combo") {
        ForEachChild(5, "combo", [&] {
          OptionalHex("value");
          CheckFits("value", width);
        });
      } else if (type == "writefirst" || type == "writelast" || type == "readfirst" ||
                 type == "readlast") {
        OptionalHex("value");
        CheckFits("value", width);
        CheckOrder(type, type[0] == 'r' ? addresses.read : addresses.write);
      }
    });
  }

  // The bytes of a read of every register travel in one list of at most
  // 2049 entries; a verified register's bytes after its first count four times.
  // Fields of one byte, in whichever registers they stand, are added up into
  // it, so their bits must not overlap (fields with conditions may be
  // alternatives, and are left out).
  void CountEntry() {
    const std::optional<std::int32_t> address = ParseHex(ReadAddressPair(store_).read);
    if (!address) {
      return;  // reported as not hexadecimal
    }
    if (address != entryAddress_) {
      entryAddress_ = address;
      entries_ += !firstOfRegister_ && verify_ ? kVerifiedEntries : 1;
      if (entries_ > kMaxEntries && !tooMany_) {
        tooMany_ = true;
        Report(store_.SourceLine(store_.XmlFileIndex()),
               "the registers need more than 2049 entries in one transfer");
      }
    }
    firstOfRegister_ = false;
    const int width = ByteWidth();
    const int parent = store_.XmlFileIndex();
    const bool conditional = registerHidden_ || store_.FindElement(4, "hide");
    store_.SetXmlFileIndex(parent);
    if (width <= 0 || conditional) {
      return;
    }
    const int bits = ((1 << width) - 1) << (ReadBitRange(store_, "bit").low % 8);
    int& byteBits = bitsByAddress_[*address];
    if ((byteBits & bits) != 0) {
      ReportAttribute("bit", Quoted(store_.GetAttributeView("bit")) +
                                 " overlaps another field of the same byte");
    }
    byteBits |= bits;
  }

  // A transfer-order rule: its place is 1..255, and no other rule that
  // always applies takes the same place for another address (one of the two
  // transfers would be lost).
  void CheckOrder(std::string_view type, const std::string& address) {
    const std::string_view text = store_.GetAttributeView("order");
    if (text.empty()) {
      return;
    }
    const std::optional<int> order = ParseTransferOrder(text);
    if (!order) {
      ReportAttribute("order", Quoted(text) + " is not a whole number from 1 to 255");
      return;
    }
    const bool always =
        type[0] == 'r' || ReadFlag(store_, "always") || store_.GetAttributeView("value").empty();
    if (!always) {
      return;
    }
    const std::string key = std::string(type) + " " + std::to_string(*order);
    const auto [taken, added] =
        places_.try_emplace(key, Place{address, store_.SourceLine(store_.XmlFileIndex())});
    if (!added && ParseHex(taken->second.address) != ParseHex(address)) {
      ReportAttribute("order", Quoted(text) + " is also the " + std::string(type) +
                                   " place of line " + std::to_string(taken->second.line));
    }
  }

  // A number format (anything but "hex" and "dec") maps `input` onto
  // `display`; the conversions need both, with ends that differ, an inverted
  // mapping above 0, and a divider register that can never divide by 0.
  void CheckNumberFormat(bool edits) {
    const std::string_view format = store_.GetAttributeView("format");
    if (format == "hex" || format == "dec" || (format.empty() && !edits)) {
      return;
    }
    const std::optional<std::pair<double, double>> input = NumberRange("input", true);
    const std::optional<std::pair<double, double>> display = NumberRange("display", true);
    if (input && display) {
      CheckMapping(*input, *display);
    }
    if (!store_.GetAttributeView("displaydivreg").empty()) {
      const std::optional<double> minimum = ParseDecimal(store_.GetAttributeView("displayregmin"));
      if (!minimum || *minimum <= 0) {
        ReportAttribute("displaydivreg",
                        "needs displayregmin above 0 (a divider byte of 0 leaves no range)");
      }
    }
    const std::string_view maximum = store_.GetAttributeView("displaymax");
    if (!maximum.empty() && !ParseDecimal(maximum)) {
      ReportAttribute("displaymax", Quoted(maximum) + " is not a number");
    }
  }

  // An `add` of type "display": the ranges it puts in place of the field's.
  void CheckRangeAlternative() {
    const auto input = NumberRange("input", false);
    const auto display = NumberRange("display", false);
    if (input && display) {
      CheckMapping(*input, *display);
    }
  }

  // The two ends of a range attribute, when present and numeric.
  std::optional<std::pair<double, double>> NumberRange(std::string_view attribute, bool required) {
    const std::string_view text = store_.GetAttributeView(attribute);
    if (text.empty()) {
      if (required) {
        ReportAttribute(attribute, "is missing (a number format maps input onto display)");
      }
      return std::nullopt;
    }
    const TextPair ends = SplitPair(store_, attribute);
    // Numbers throughout: 1.5e2 would be read as 1.5, 100C as 100.
    const std::optional<double> low = ParseDecimal(ends.first);
    const std::optional<double> high = ParseDecimal(ends.second);
    if (!low || !high) {
      ReportAttribute(attribute, Quoted(text) + " is not a number or a range of numbers");
      return std::nullopt;
    }
    if (*low == *high) {
      ReportAttribute(attribute, Quoted(text) + " spans no values (both ends are equal)");
      return std::nullopt;
    }
    return std::pair{*low, *high};
  }

  void CheckMapping(std::pair<double, double> input, std::pair<double, double> display) {
    if (input.first > input.second && (input.second <= 0 || display.first <= 0)) {
      ReportAttribute("input", Quoted(store_.GetAttributeView("input")) +
                                   " is inverted: its low end and the first display value must "
                                   "be above 0");
    }
  }

  struct Place {
    std::string address;
    int line = 0;
  };

  MarkupStore& store_;
  std::string_view label_;
  std::vector<std::string> problems_;
  std::map<std::string, Place> places_;  // "writelast 1" -> the first rule there
  std::optional<std::int32_t> entryAddress_;
  int entries_ = 0;
  bool tooMany_ = false;
  std::map<std::int32_t, int> bitsByAddress_;  // unconditional fields' bits so far
  bool verify_ = false;
  bool firstOfRegister_ = true;
  bool registerHidden_ = false;
};

}  // namespace

std::vector<std::string> CheckDefinition(MarkupStore& store, std::string_view fileLabel) {
  return Checker(store, fileLabel).Run();
}

std::string DefinitionProblemsMessage(std::string_view fileLabel,
                                      const std::vector<std::string>& problems,
                                      std::size_t maxListed) {
  std::string message = "The definition " + std::string(fileLabel) + " has " +
                        std::to_string(problems.size()) +
                        (problems.size() == 1 ? " problem" : " problems") +
                        "; registers that use these values may be read or written wrongly:";
  const std::size_t listed = std::min(problems.size(), maxListed);
  for (std::size_t i = 0; i < listed; ++i) {
    message += "\r\n" + problems[i];
  }
  if (problems.size() > listed) {
    message += "\r\n... and " + std::to_string(problems.size() - listed) + " more";
  }
  return message;
}

DefinitionLoad LoadDefinition(MarkupStore& store, const std::string& path,
                              markup::MessageBox& messages) {
  DefinitionLoad result;
  result.loaded = markup::LoadDocument(store, path, messages);
  if (!result.loaded) {
    return result;
  }
  const std::string label = FileNameOf(path);
  result.problems = CheckDefinition(store, label);
  if (!result.problems.empty()) {
    messages.Show(DefinitionProblemsMessage(label, result.problems), markup::MB_OK);
  }
  return result;
}

}  // namespace kestrova::definition
