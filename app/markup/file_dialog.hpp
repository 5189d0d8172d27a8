#pragma once
// The one open/save file dialog of the program. The window implements it with
// a real dialog; tests replace it.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::markup {

class FileDialog {
 public:
  virtual ~FileDialog() = default;
  // `filter` is "description|pattern|description|pattern...". On a choice the
  // chosen path is written to `fileName` and the result is true; on cancel the
  // result is false and `fileName` is left as it was.
  virtual bool ShowFileDialog(std::string_view filter, std::string_view title,
                              std::string& fileName, std::uint32_t flags, bool save) = 0;
};

}  // namespace kestrova::markup
