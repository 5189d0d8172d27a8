#include "engine/register_operations.hpp"

#include <algorithm>
#include <map>
#include <vector>

#include "engine/definition_layout.hpp"
#include "engine/register_access.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/cursor_keeper.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

// A start-up list in the form the bridge takes.
void ToTransferList(const StartupList& startup, TransferList& list) {
  list.count = std::clamp<std::int16_t>(startup.count, 0, kTransferListSize);
  for (int i = 0; i < list.count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    list.address[at] = startup.registerAddress[at];
    list.data[at] = startup.data[at];
    list.line[at] = 0;
  }
}

// Reads planned in one ReadUnmodified before the conditions must have settled.
constexpr int kMaxReadRounds = 8;

}  // namespace

bool ReadUnmodified(Session& session) {
  session.Front().SetReadRegsEnabled(false);
  bool result = false;
  {
    markup::CursorKeeper cursor(session.Store());
    // The `hide` conditions that choose the registers to read look at bytes
    // the read itself brings: a register hidden by the bytes held before the
    // read may show once they are read. The read is planned again until the
    // fields shown no longer change, so whatever shows came from the chip.
    TransferList list;
    std::vector<const BitfieldLayout*> planned;
    bool matches = true;
    for (int round = 0;; ++round) {
      const DefinitionLayout* layout = session.Layout();
      if (layout == nullptr) {
        session.ShowMessage(session.LayoutProblem());
        result = false;
        break;
      }
      std::vector<const BitfieldLayout*> shown = ShownBitfields(session, *layout);
      if (round > 0 && shown == planned) {
        break;
      }
      if (round == kMaxReadRounds) {
        session.ShowMessage(kUnsettledConditions);
        result = false;
        break;
      }
      planned = std::move(shown);
      if (!BuildTransferList(session, Direction::Read, Scope::Unchanged, list)) {
        result = false;
        break;
      }
      const ConnectionValues& c = session.connection;
      // Nothing to read is no failure (the library refuses empty lists).
      const bool ok =
          list.count == 0 ||
          session.Bridge().ReadBoard(c.deviceHandle, c.port, c.busType, c.deviceAddress,
                                     list.address, list.data, list.count, session.IgnoreFailures());
      if (!ok) {
        ShowBoardError(session);
        result = false;
        break;
      }
      result = ApplyTransferResult(session, Direction::Read, list, true, matches);
      if (!result) {
        break;
      }
    }
    if (result && !matches) {
      ShowVerifyFailure(session);
    }
  }
  session.Front().SetReadRegsEnabled(true);
  return result;
}

bool WriteModified(Session& session, bool reallyWrite) {
  session.Front().SetWriteRegsEnabled(false);
  session.writeOnChange = WriteOnChangeFlags{};
  {
    markup::CursorKeeper cursor(session.Store());
    TransferList list;
    if (!BuildTransferList(session, Direction::Write, Scope::Changed, list)) {
      return false;
    }
    if (list.count > 0) {
      if (reallyWrite) {
        const ConnectionValues& c = session.connection;
        if (!LoggedWrite(session, c.deviceHandle, c.port, c.busType, c.deviceAddress, list.address,
                         list.data, list.count, session.IgnoreFailures())) {
          ShowBoardError(session);
          return false;
        }
      } else {
        // The user declined: back to what the chip holds.
        for (int i = 0; i < list.count; ++i) {
          const auto at = static_cast<std::size_t>(i);
          list.data[at] =
              session.images.deviceImage[static_cast<std::uint16_t>(list.address[at]) % kImageSize];
        }
      }
      bool ok = true;
      if (!ApplyTransferResult(session, Direction::Write, list, true, ok)) {
        return false;
      }
    }
  }
  session.images.ClearModified();
  if (reallyWrite && session.readAfterWrite) {
    ReadUnmodified(session);
  }
  return true;
}

bool WritePendingList(Session& session) {
  const StartupList& startup = session.startupWriteList;
  if (startup.count <= 0) {
    return true;
  }
  TransferList list;
  ToTransferList(startup, list);
  // Bits of a byte that other registers hold go out as those registers show them.
  const std::map<std::int32_t, std::uint8_t> shown = ShownBytes(session, Direction::Write);
  for (int i = 0; i < list.count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    const auto other = shown.find(list.address[at]);
    if (other != shown.end()) {
      list.data[at] = static_cast<std::uint8_t>((list.data[at] & ~startup.sharedBits[at]) |
                                                (other->second & startup.sharedBits[at]));
    }
  }
  const ConnectionValues& c = session.connection;
  if (!LoggedWrite(session, c.deviceHandle, c.port, c.busType, c.deviceAddress, list.address,
                   list.data, list.count, session.IgnoreFailures())) {
    ShowBoardError(session);
    return false;
  }
  markup::CursorKeeper cursor(session.Store());
  bool ok = true;
  return ApplyTransferResult(session, Direction::Write, list, true, ok);
}

bool ReadPendingList(Session& session) {
  const StartupList& startup = session.startupReadList;
  if (startup.count <= 0) {
    return true;
  }
  TransferList list;
  ToTransferList(startup, list);
  const ConnectionValues& c = session.connection;
  if (!session.Bridge().ReadBoard(c.deviceHandle, c.port, c.busType, c.deviceAddress, list.address,
                                  list.data, list.count, session.IgnoreFailures())) {
    ShowBoardError(session);
    return false;
  }
  return true;
}

bool CloseCurrentDevice(Session& session) {
  session.Front().StopContinuous();
  session.Front().SavePartSettings();
  return session.Bridge().CloseBoard(session.connection.deviceHandle);
}

}  // namespace kestrova::engine
