#pragma once
// Registers and bit fields as the tool prints them: one line per register
// and one per shown bit field (text), or as JSON; and the lookup of
// registers and bit fields by the names a user types.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "engine/register_view.hpp"
#include "tool_report.hpp"

namespace kestrova::cli {

// An address caption on one line ("06/86" for read 06, write 86).
std::string OneLineCaption(const std::string& caption);

void PrintRegisters(std::FILE* out, const std::vector<const engine::RegisterRow*>& registers);
// The "registers" list of the JSON document: for the register and each shown
// bit field its raw number, its engineering value ("value", a number), the
// display text and the units.
tools::Json RegistersJson(const std::vector<const engine::RegisterRow*>& registers);

// The shown registers, or those named (by title, bit-field label or address,
// in the order named). False with `error` naming what is unknown.
bool SelectRegisters(const std::vector<engine::RegisterRow>& view,
                     const std::vector<std::string>& names,
                     std::vector<const engine::RegisterRow*>& selected, std::string& error);

// The bit field a name stands for: its label, or "TITLE/LABEL" when labels
// repeat. Hidden and invisible fields are not offered, as in the panel.
const engine::FieldRow* FindField(const std::vector<engine::RegisterRow>& view,
                                  const std::string& latin1Name, std::string& error);

}  // namespace kestrova::cli
