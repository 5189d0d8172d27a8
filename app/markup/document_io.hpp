#pragma once
// Loading and saving a whole document with the failure shown to the user:
// "File read/write error for " and the path, with only an OK button.

#include <string>

#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::markup {

// LoadMarkupFile; on failure shows the message and returns false.
bool LoadDocument(MarkupStore& store, const std::string& path, MessageBox& messages);
// SaveMarkupFile; on failure shows the message and returns false.
bool SaveDocument(MarkupStore& store, const std::string& path, MessageBox& messages);

// The message shown for a document that cannot be read or written. When the
// store knows more than "cannot open" (a file beyond the store's limits, a disk
// that filled up during the save), that reason follows on a second line.
std::string FileErrorMessage(const MarkupStore& store, const std::string& path);

}  // namespace kestrova::markup
