#pragma once
// What happens to a part definition once it is loaded and its hardware is
// open: the registers marked for writing and reading back at start-up are
// collected.

namespace kestrova::engine {

class Session;

// Fills the session's start-up write list (registers with `writeonstartup`,
// their bit fields' values placed into one byte per consecutive write
// address) and read-after-write list (`readafterwriteonstartup`, by read
// address) for the current bus type and chip address. False when a list
// would exceed its room (the list keeps what fits).
bool CollectStartupLists(Session& session);

// Loading done: the layout read afresh, the start-up lists collected. No
// "unused" bit fields are generated: they would carry the low 8 bits of a
// byte address 0x100 to 0x3FF and so write zeros into another register,
// while adding nothing to any register value (their `regbit` is "none").
bool PreparePart(Session& session);

}  // namespace kestrova::engine
