#pragma once
// What the register engine asks of the front end around it (the window,
// kestrova-cli, a test): the message box, the file dialog, the panel, the
// two buttons whose state follows pending work, the end of continuous
// activity and the saving of the part settings. Every handler is pure, so a
// front end that forgets one does not compile. The window and the tools
// implement frontend::FrontEnd, which joins this with what continuous read
// and the start-up flow ask.

#include <cstdint>
#include <string>
#include <string_view>

#include "markup/message_box.hpp"

namespace kestrova::engine {

// Flags of ShowFileDialog, with the common dialog's values.
inline constexpr std::uint32_t kDialogOverwritePrompt = 0x2;
inline constexpr std::uint32_t kDialogHideReadOnly = 0x4;
inline constexpr std::uint32_t kDialogNoChangeDir = 0x8;
inline constexpr std::uint32_t kDialogFileMustExist = 0x1000;

class EngineFrontEnd : public markup::MessageBox {
 public:
  // Show(prompt, buttons) comes from MessageBox: the box titled with the
  // window's current title; results 1 OK, 2 Cancel, 6 Yes, 7 No.

  // The open (`save` false) or save dialog. `filter` is
  // "description|pattern|description|pattern...". On a choice the chosen path
  // is written to `fileName` and the result is true; on cancel the result is
  // false and `fileName` is left as it was.
  virtual bool ShowFileDialog(std::string_view filter, std::string_view title,
                              std::string& fileName, std::uint32_t flags, bool save) = 0;

  // Shows the current page with the values just read or edited.
  virtual void RefreshPanel() = 0;
  // The "Read Regs" and "Write Regs" buttons.
  virtual void SetReadRegsEnabled(bool enabled) = 0;
  virtual void SetWriteRegsEnabled(bool enabled) = 0;
  // Ends continuous read, logging and plotting.
  virtual void StopContinuous() = 0;
  // Writes part.def of the open device.
  virtual void SavePartSettings() = 0;
};

}  // namespace kestrova::engine
