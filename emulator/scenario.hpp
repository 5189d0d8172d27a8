// Emulator scenarios: which boards exist and which chips sit where, written
// in the program's markup dialect.
//
//   <definition>
//    <temperature name="ambient" mean="25" amplitude="3" period="120" noise="0.05" seed="1"/>
//    <chip device="demo" bus="i2c" addr="48" source="ambient">
//     <temp title="Temp" source="ambient"/>
//     <temp addr="3,103" lsb="0.0625" shift="4" signed="true"/>
//     <byte addr="5" value="80"/>
//    </chip>
//    <board class="highspeed" vid="0400" pid="1100"/>
//    <stream hex="01 02 03" repeat="true"/>
//    <boardreg addr="400" value="1"/>
//   </definition>
//
// `chip`: `device` (a part definition found in a `device` folder) or `file`
// (a path, relative to the scenario's folder); `bus` (i2c, singlewire, spi,
// microwire, qx3test; default from the part's interface); `addr` (hex;
// default the part's own); `source` (temperature source of its temperature
// registers; default the first one), `follow="false"` (no simulated
// temperature), `window` (hex byte list for Microwire and QX3 test).
// `temp` children tie one register (by `title`) to another source, or bind
// explicit bytes. `board`: `class` fullspeed or highspeed (default), `vid`
// and `pid` of the bare core (default: the first chip's USB link, else the
// boot IDs), `replug="false"` (stays away after a disconnect),
// `reenumerate="n"` (after a download it is absent for n searches).
#pragma once

#include <string>
#include <vector>

#include "emulator/emulator.hpp"

namespace kestrova::emulator {

// Builds what the scenario file describes into `emulator`. Problems (bad
// elements, missing parts) are appended as "file:line: text" and skipped.
// False when the file cannot be read at all.
bool LoadScenario(const std::string& path, const std::vector<std::string>& dataFolders,
                  Emulator& emulator, std::vector<std::string>& problems);

// The bench without a scenario: one high-speed board and every part of the
// first `device` folder found, each at its default address on its bus.
void BuildDefaultBench(const std::vector<std::string>& dataFolders, Emulator& emulator,
                       std::vector<std::string>& problems);

}  // namespace kestrova::emulator
