#include "definition/checker.hpp"

#include <functional>

#include "definition/numbers.hpp"
#include "definition/program_folder.hpp"
#include "markup/document_io.hpp"

namespace kestrova::definition {

using markup::MarkupStore;

namespace {

// A bit number of a 16-bit register.
constexpr int kHighestBit = 15;

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
    const bool valid = colon == std::string_view::npos ? IsHexText(value)
                                                       : IsHexText(value.substr(0, colon)) &&
                                                             IsHexText(value.substr(colon + 1));
    if (!valid) {
      ReportAttribute("addr", Quoted(value) + " is not hexadecimal");
    }
  }

  static bool IsBitNumber(std::string_view text) {
    const auto number = ParseDecimalInteger(text);
    return number && *number >= 0 && *number <= kHighestBit;
  }

  // A range of bit numbers: "high:low" or one number, each from 15 down to 0.
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
      ReportAttribute(attribute, Quoted(value) + " is not a bit range (high:low, 15 to 0)");
    }
  }

  void CheckRegBit() {
    const std::string_view value = store_.GetAttributeView("regbit");
    if (!value.empty() && UpperCase(value) != "NONE" && !IsBitRange(value)) {
      ReportAttribute("regbit", Quoted(value) + " is not a bit range (high:low, 15 to 0) or none");
    }
  }

  // A condition names a field (addr, bit or regbit) and a value.
  void CheckCondition() {
    RequireAddressPair();
    CheckBitRange("bit", store_.GetAttributeView("regbit").empty());
    CheckRegBit();
    RequireHex("value");
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
    OptionalHex("groupaddrmask");
    FirstChild(3, "hide", [this] { CheckCondition(); });
    ForEachChild(3, "add", [this] {
      const std::string_view type = store_.GetAttributeView("type");
      if (type == "updatereg") {
        ForEachChild(4, "updatereg", [this] {
          RequireHex("addr");
          RequireHex("value");
        });
      } else if (type == "display") {
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
    FirstChild(4, "hide", [this] { CheckCondition(); });
    ForEachChild(4, "add", [this] {
      const std::string_view type = store_.GetAttributeView("type");
      if (type == "attr") {
        ForEachChild(5, "attr", [this] { CheckCondition(); });
      } else if (type == "combo") {
        ForEachChild(5, "combo", [this] { OptionalHex("value"); });
      } else if (type == "writefirst" || type == "writelast" || type == "readfirst" ||
                 type == "readlast") {
        OptionalHex("value");
      }
    });
  }

  MarkupStore& store_;
  std::string_view label_;
  std::vector<std::string> problems_;
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
