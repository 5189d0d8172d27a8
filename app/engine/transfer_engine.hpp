#pragma once
// Planning register transfers from the definition and taking their results
// back into the byte images and the definition's bit-field values.

#include <cstdint>
#include <map>
#include <vector>

#include "engine/transfer_list.hpp"

namespace kestrova::engine {

class Session;
struct BitfieldLayout;
struct DefinitionLayout;

// Builds the ordered byte list of a read or a write of the registers the
// scope selects. False (and an empty list, with the reason shown) when the
// definition breaks the engine's limits.
bool BuildTransferList(Session& session, Direction direction, Scope scope, TransferList& list);

// Every byte address of the shown bit fields with the byte they hold
// together (their values placed and added up), by read or write address.
std::map<std::int32_t, std::uint8_t> ShownBytes(Session& session, Direction direction);

// Folds repeated reads, drops duplicate addresses (list and count change),
// stores the bytes in the images and the bit-field values in the definition.
// A read sets the fields shown when it started; a write also those its bytes
// reveal. `ok` turns false when a `checkvalue` differs. False when the
// definition cannot be walked (reason shown).
bool ApplyTransferResult(Session& session, Direction direction, TransferList& list,
                         bool updateDevice, bool& ok);

// The bit fields shown with the bytes as they are now (neither they nor their
// register hidden, no USB-only register off the USB board), in file order.
std::vector<const BitfieldLayout*> ShownBitfields(const Session& session,
                                                  const DefinitionLayout& layout);

}  // namespace kestrova::engine
