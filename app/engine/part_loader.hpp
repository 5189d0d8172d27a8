#pragma once
// What happens to a part definition once it is loaded and its hardware is
// open: the generated bit fields for unused bits are inserted, and the
// registers marked for writing and reading back at start-up are collected.

namespace kestrova::engine {

class Session;

// Inserts an invisible, read-only "unused" bit field for every run of bits
// that no bit field covers in the bytes at addresses 0x100 to 0x3FF. Returns
// the number of fields inserted. Run once, right after loading.
int InsertGeneratedBitfields(Session& session);

// Fills the session's start-up write list (registers with `writeonstartup`,
// their bit fields' values placed into one byte per consecutive write
// address) and read-after-write list (`readafterwriteonstartup`, by read
// address) for the current bus type and chip address. False when a list
// would exceed its room (the list keeps what fits).
bool CollectStartupLists(Session& session);

// Loading done: the generated bit fields, the layout read afresh, the
// start-up lists collected.
bool PreparePart(Session& session);

}  // namespace kestrova::engine
