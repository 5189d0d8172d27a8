#pragma once
// Planning register transfers from the definition and taking their results
// back into the byte images and the definition's bit-field values.

#include "engine/transfer_list.hpp"

namespace kestrova::engine {

class Session;

// Builds the ordered byte list of a read or a write of the registers the
// scope selects. False (and an empty list, with the reason shown) when the
// definition breaks the engine's limits.
bool BuildTransferList(Session& session, Direction direction, Scope scope, TransferList& list);

// Folds repeated reads, drops duplicate addresses (list and count change),
// stores the bytes in the images and the bit-field values in the definition.
// `ok` turns false when a `checkvalue` differs. False when the definition
// cannot be walked (reason shown).
bool ApplyTransferResult(Session& session, Direction direction, TransferList& list,
                         bool updateDevice, bool& ok);

}  // namespace kestrova::engine
