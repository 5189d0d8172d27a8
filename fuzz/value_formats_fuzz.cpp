// The value-format conversions with hostile attribute texts: a register and
// a bit field whose `format`, `input`, `display`, `displaymax`,
// `displaydivreg`, `displayregmin`, `displayaddr`, `addr`, `bit` and `regbit`
// come from the fuzzer, with a conditional display alternative and shown
// bytes from the fuzzer; then GetFormat, ClampRaw, RawToDisplayText,
// DisplayTextToRaw, PlaceField, ExtractField, AddressCaption and number
// patterns on numbers from the fuzzer (NaN and infinities included).
//
// Properties: no undefined behaviour (a float converted to an integer out of
// range is a report); the cursor is where it was after each conversion; a
// normalised format has inMin <= inMax.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "engine/element_formats.hpp"
#include "engine/format_spec.hpp"
#include "engine/number_pattern.hpp"
#include "engine/register_images.hpp"
#include "fuzz_support.hpp"
#include "markup/markup_store.hpp"

using namespace kestrova;
using markup::MarkupStore;

namespace {

constexpr int kRegisterLine = 3;
constexpr int kBitfieldLine = 4;
constexpr std::size_t kShownBytes = 512;

// An attribute value that stays inside its quotes on its line.
std::string Value(FuzzedDataProvider& input) {
  std::string text = input.ConsumeRandomLengthString(48);
  std::string out;
  for (const char c : text) {
    if (c != '"' && c != '\r' && c != '\n' && c != '<' && c != '>') {
      out.push_back(c);
    }
  }
  return out;
}

// A number too large for a double: it reads as infinity.
std::string Huge(FuzzedDataProvider& input) {
  return (input.ConsumeBool() ? "-1" : "1") + std::string(320, '0');
}

std::string Attribute(FuzzedDataProvider& input, std::string_view name) {
  // Absent, empty, infinite ends, or a fuzzed text.
  std::string value;
  switch (input.ConsumeIntegralInRange(0, 7)) {
    case 0:
      return {};
    case 1:
      break;
    case 2:
      value = Huge(input) + ":" + Value(input);
      break;
    case 3:
      value = Value(input) + ":" + Huge(input);
      break;
    default:
      value = Value(input);
      break;
  }
  return " " + std::string(name) + "=\"" + value + "\"";
}

std::string Element(FuzzedDataProvider& input) {
  std::string text;
  for (const char* name : {"format", "input", "display", "displaymax", "displaydivreg",
                           "displayregmin", "displayaddr", "addr", "bit", "regbit"}) {
    text += Attribute(input, name);
  }
  return text;
}

double Number(FuzzedDataProvider& input) {
  static constexpr std::array<double, 9> kEdges = {0.0,
                                                   -1.0,
                                                   255.0,
                                                   65535.0,
                                                   0.5,
                                                   1e300,
                                                   -1e300,
                                                   std::numeric_limits<double>::infinity(),
                                                   std::numeric_limits<double>::quiet_NaN()};
  const auto pick = input.ConsumeIntegralInRange<std::size_t>(0, kEdges.size() + 1);
  if (pick < kEdges.size()) {
    return kEdges[pick];
  }
  return pick == kEdges.size() ? input.ConsumeFloatingPoint<double>()
                               : static_cast<double>(input.ConsumeIntegral<std::int32_t>());
}

void CheckCursor(const MarkupStore& store, int line) {
  FUZZ_CHECK(store.XmlFileIndex() == line);
  FUZZ_CHECK(store.IndexStackDepth() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy copy(data, size);
  FuzzedDataProvider input(reinterpret_cast<const std::uint8_t*>(copy.Data()), copy.Size());

  std::string text = "<definition>\r\n <part label=\"F\">\r\n  <register title=\"R\"";
  text += Element(input) + ">\r\n   <bitfield label=\"B\" value=\"0\"" + Element(input) + "/>\r\n";
  text += "   <add type=\"display\"" + Attribute(input, "input") + Attribute(input, "display") +
          ">\r\n    <display" + Attribute(input, "addr") + Attribute(input, "bit") +
          Attribute(input, "regbit") + Attribute(input, "value") + "/>\r\n   </add>\r\n";
  text += "  </register>\r\n </part>\r\n</definition>\r\n";
  MarkupStore store;
  FUZZ_CHECK(store.LoadMarkupText(text));

  static engine::RegisterImages images;
  for (std::size_t i = 0; i < kShownBytes; ++i) {
    images.valueImage[i] = input.ConsumeIntegral<std::uint8_t>();
  }

  for (const int line : {kRegisterLine, kBitfieldLine}) {
    store.SetXmlFileIndex(line);
    const engine::FormatSpec spec = engine::GetFormat(store, images);
    CheckCursor(store, line);
    FUZZ_CHECK(!(spec.inMin > spec.inMax));
    for (int i = 0; i < 4; ++i) {
      const double raw = Number(input);
      engine::ClampRaw(spec, raw);
      const std::string shown = engine::RawToDisplayText(spec, raw);
      engine::DisplayTextToRaw(spec, shown);
      engine::DisplayTextToRaw(spec, input.ConsumeRandomLengthString(24));
      // Register values and field values are at most 32 bits wide.
      const std::int64_t whole = input.ConsumeIntegral<std::int32_t>();
      engine::PlaceField(store, whole, input.ConsumeBool());
      engine::ExtractField(store, whole, input.ConsumeBool());
    }
    engine::AddressCaption(store, input.ConsumeIntegral<std::int32_t>(), input.ConsumeBool());
    engine::ReadAddress(store);
    engine::WriteAddress(store);
    CheckCursor(store, line);
  }
  engine::FormatNumber(Number(input), input.ConsumeRandomLengthString(24));
  return 0;
}
