#include "engine/access.hpp"

#include <algorithm>

#include "definition/numbers.hpp"
#include "definition/schema.hpp"
#include "engine/session.hpp"
#include "engine/transfer_list.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

Access EvaluateAccessFlags(std::string_view attr, std::int32_t writeAddress,
                           const std::vector<AccessRule>& rules, std::int16_t link) {
  Access access;
  access.readable = attr != "W";
  access.writable = attr != "R";
  if (writeAddress <= kLastChipRegister || link == kLinkNone) {
    access.writable = true;
  }
  for (const AccessRule& rule : rules) {
    if (rule.attr != "R") {
      access.writable = true;
    }
    if (rule.attr != "W") {
      access.readable = true;
    }
  }
  return access;
}

Access EvaluateAccess(std::string_view attr, std::int32_t writeAddress,
                      const std::vector<AccessRule>& rules, const RegisterImages& images,
                      std::int16_t link) {
  Access access = EvaluateAccessFlags(attr, writeAddress, rules, link);
  access.text = std::string(attr);
  for (const AccessRule& rule : rules) {
    const bool allHold =
        std::all_of(rule.conditions.begin(), rule.conditions.end(),
                    [&](const FieldCondition& condition) { return condition.Holds(images); });
    access.text = allHold ? rule.attr : std::string(attr);
  }
  if (access.text == "RW") {
    access.text = "R/W";
  }
  return access;
}

Access GetAccess(Session& session) {
  markup::MarkupStore& store = session.Store();
  const int line = store.XmlFileIndex();
  if (const DefinitionLayout* layout = session.Layout()) {
    // Bit fields are kept in file order, so their lines are sorted.
    const auto it = std::lower_bound(
        layout->bitfields.begin(), layout->bitfields.end(), line,
        [](const BitfieldLayout& field, int wanted) { return field.line < wanted; });
    if (it != layout->bitfields.end() && it->line == line) {
      return EvaluateAccess(it->attr, it->writeAddress, it->accessRules, session.images,
                            session.connection.link);
    }
  }
  // Any other element: its own attr and address only.
  const definition::AddressPair addr = definition::ReadAddressPair(store);
  return EvaluateAccess(store.GetAttributeView("attr"), definition::HexToLong(addr.write), {},
                        session.images, session.connection.link);
}

}  // namespace kestrova::engine
