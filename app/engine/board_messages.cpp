#include <string>

#include "dravik/dravik.h"
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
  const std::string reason = session.connection.link == kLinkUsb ||
                                     (session.connection.testFlags & kTestLibraryErrorText) != 0
                                 ? session.Bridge().BoardErrorText()
                                 : std::string();
  // The placeholder firmware refused for a real board is said whatever the
  // test bits: the user has to put the maker's image in its place.
  if ((session.connection.testFlags & kTestLibraryErrorText) != 0 ||
      reason.rfind(DRAVIK_PLACEHOLDER_FIRMWARE_ERROR, 0) == 0) {
    text += kLineBreak;
    text += reason;
  } else if (std::string bindingError; session.Library().TakeUnreportedBindingError(bindingError)) {
    // A library that cannot be loaded is said once, whatever the test bits.
    text += kLineBreak;
    text += bindingError;
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
