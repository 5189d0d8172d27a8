#include <string>

#include "engine/address_caption.hpp"
#include "engine/register_operations.hpp"
#include "engine/session.hpp"

namespace kestrova::engine {

void ShowBoardError(Session& session) {
  std::string text;
  if (session.connection.link == kLinkUsb) {
    text = kUsbBoardError;
  } else if (session.connection.link == kLinkSmbus) {
    text = kSmbusBoardError;
  }
  if ((session.connection.testFlags & kTestLibraryErrorText) != 0) {
    text += kLineBreak;
    text += session.Bridge().BoardErrorText();
  } else if (std::string reason; session.Library().TakeUnreportedBindingError(reason)) {
    // A library that cannot be loaded is said once, whatever the test bits.
    text += kLineBreak;
    text += reason;
  }
  session.ShowMessage(text);
}

void ShowVerifyFailure(Session& session) {
  if (IsNoHardwareBus(session.connection.busType)) {
    return;
  }
  std::string text = kVerifyFailure;
  text += kLineBreak;
  text += "Verify ";
  if (!session.connection.interfaceAddressCaption.empty()) {
    text += session.connection.interfaceAddressCaption + ", ";
  }
  text += "Hardware Connection and Proper Part";
  session.ShowMessage(text);
  session.Front().StopContinuous();
}

}  // namespace kestrova::engine
