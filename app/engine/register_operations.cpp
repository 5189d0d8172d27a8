#include "engine/register_operations.hpp"

#include <algorithm>

#include "engine/register_access.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/cursor_keeper.hpp"
#include "markup/markup_store.hpp"

namespace kestrova::engine {

namespace {

void SetEnabled(const std::function<void(bool)>& hook, bool enabled) {
  if (hook) {
    hook(enabled);
  }
}

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

}  // namespace

bool ReadUnmodified(Session& session) {
  SetEnabled(session.hooks.setReadRegsEnabled, false);
  bool result = false;
  {
    markup::CursorKeeper cursor(session.Store());
    TransferList list;
    if (BuildTransferList(session, Direction::Read, Scope::Unchanged, list)) {
      const ConnectionValues& c = session.connection;
      // Nothing to read is no failure (the library refuses empty lists).
      const bool ok =
          list.count == 0 ||
          session.Bridge().ReadBoard(c.deviceHandle, c.port, c.busType, c.deviceAddress,
                                     list.address, list.data, list.count, session.IgnoreFailures());
      if (ok) {
        bool matches = true;
        result = ApplyTransferResult(session, Direction::Read, list, true, matches);
        if (result && !matches) {
          ShowVerifyFailure(session);
        }
      } else {
        ShowBoardError(session);
      }
    }
  }
  SetEnabled(session.hooks.setReadRegsEnabled, true);
  return result;
}

bool WriteModified(Session& session, bool reallyWrite) {
  SetEnabled(session.hooks.setWriteRegsEnabled, false);
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
  if (session.hooks.stopContinuous) {
    session.hooks.stopContinuous();
  }
  if (session.hooks.savePartSettings) {
    session.hooks.savePartSettings();
  }
  return session.Bridge().CloseBoard(session.connection.deviceHandle);
}

}  // namespace kestrova::engine
