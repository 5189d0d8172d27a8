#pragma once
// A session on a definition given as text, with a recording library standing
// in for the board and a message recorder for the window.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "definition/numbers.hpp"
#include "engine/register_view.hpp"
#include "engine/session.hpp"
#include "engine/transfer_engine.hpp"
#include "markup/markup_store.hpp"
#include "support/part_text.hpp"
#include "support/recording_device_library.hpp"
#include "support/recording_front_end.hpp"

namespace kestrova::engine::testing {

// The calls a recording library saw, "|" between them: the function, handle,
// port, bus type and device address (hex), then each register as "register=data"
// (hex), and the driver and firmware of an open.
inline std::string CallsText(const RecordingDeviceLibrary& library) {
  std::string text;
  for (const RecordingDeviceLibrary::Call& c : library.calls) {
    text += (text.empty() ? "" : "|") + c.function + " " + std::to_string(c.handle) + " " +
            std::to_string(c.port) + " " + std::to_string(c.busType) + " " +
            definition::HexText(static_cast<std::uint16_t>(c.deviceAddress));
    for (std::size_t i = 0; i < c.registers.size(); ++i) {
      text += " " + definition::HexText(static_cast<std::uint16_t>(c.registers[i])) +
              (i < c.data.size() ? "=" + definition::Hex2(c.data[i]) : "");
    }
    text += c.function == "OpenDevice" ? " " + c.driverName + " " + c.firmwarePath : "";
  }
  return text;
}

class EngineTest : public ::testing::Test {
 protected:
  EngineTest() : session(store, library, messages) {
    session.connection.deviceHandle = 7;
    session.connection.link = kLinkUsb;
    session.connection.busType = 2;
    session.connection.deviceAddress = 0x48;
  }

  // Loads a part given in the short form of support/part_text.hpp, as a part
  // opened afresh: zero byte images, no call or message recorded yet.
  void Part(std::string_view elements) {
    ASSERT_TRUE(store.LoadMarkupText(kestrova::testing::PartText(elements, "label=Test")));
    session.OnPartOpened();
    session.images = RegisterImages{};
    library.calls.clear();
    messages.shown.clear();
    messages.calls.clear();
  }

  // The entries of a list as "address=data" in hexadecimal, blank between.
  static std::string Entries(const TransferList& list) {
    std::string text;
    for (std::size_t i = 0; i < static_cast<std::size_t>(list.count); ++i) {
      text += (i == 0 ? "" : " ") + definition::HexText(list.address[i]) + "=" +
              definition::Hex2(list.data[i]);
    }
    return text;
  }

  TransferList Build(Direction direction, Scope scope) {
    TransferList list;
    EXPECT_TRUE(BuildTransferList(session, direction, scope, list));
    return list;
  }

  // The line of the n-th (1-based) element that starts with `tag`, its
  // indentation included; 0 when missing.
  int ElementLine(std::string_view tag, int nth) const {
    for (int line = 1; line <= store.LineCount(); ++line) {
      if (store.Line(line).starts_with(tag) && --nth == 0) {
        return line;
      }
    }
    return 0;
  }
  int RegisterLine(int nth) const { return ElementLine("  <register", nth); }
  // Counted over all registers.
  int BitfieldLine(int nth) const { return ElementLine("   <bitfield", nth); }

  // The `value` of the n-th bit field ("" when missing).
  std::string Bitfield(int nth) {
    store.SetXmlFileIndex(BitfieldLine(nth));
    return store.GetAttribute("value");
  }

  void SetBitfield(int nth, const std::string& value) {
    store.SetXmlFileIndex(BitfieldLine(nth));
    store.SetAttribute("value", value, true);
  }

  // The first register titled, or bit field labelled, `name` in the register
  // view built afresh.
  const RegisterRow& RegisterTitled(const std::string& name) {
    registerView = BuildRegisterView(session);
    for (const RegisterRow& reg : registerView) {
      if (reg.title == name) {
        return reg;
      }
    }
    ADD_FAILURE() << "no register " << name;
    return registerView.emplace_back();
  }
  const FieldRow& FieldLabelled(const std::string& name) {
    registerView = BuildRegisterView(session);
    for (const RegisterRow& reg : registerView) {
      for (const FieldRow& field : reg.fields) {
        if (field.label == name) {
          return field;
        }
      }
    }
    ADD_FAILURE() << "no field " << name;
    return registerView.emplace_back().fields.emplace_back();
  }

  markup::MarkupStore store;
  RecordingDeviceLibrary library;
  test_support::RecordingFrontEnd messages;
  Session session;
  std::vector<RegisterRow> registerView;
};

}  // namespace kestrova::engine::testing
