#pragma once
// The one message path of the program: every message and question goes through
// a MessageBox. The window implements it with a real dialog; tests and the
// command-line tools replace it.

#include <string>
#include <string_view>

namespace kestrova::markup {

// Button styles passed as `buttons`.
inline constexpr int MB_OK = 0;
inline constexpr int MB_YESNOCANCEL = 3;
inline constexpr int MB_YESNO = 4;

// Results: the button the user pressed.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

class MessageBox {
 public:
  virtual ~MessageBox() = default;
  // Shows `prompt` with the button style and returns the button pressed.
  virtual int Show(std::string_view prompt, int buttons) = 0;
};

}  // namespace kestrova::markup
