#pragma once
// Validation of a loaded register definition: every hexadecimal attribute the
// program converts without testing it first, and every bit range, must be
// present and well formed. Each problem names the file, the physical line and
// the attribute ("demo:42: bitfield attribute addr is missing").

#include <string>
#include <string_view>
#include <vector>

#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::definition {

// Checks the document in the store (the cursor is restored). `fileLabel` names
// the file in the messages, usually the device name.
std::vector<std::string> CheckDefinition(markup::MarkupStore& store, std::string_view fileLabel);

// The one message that lists the problems (at most `maxListed` of them).
std::string DefinitionProblemsMessage(std::string_view fileLabel,
                                      const std::vector<std::string>& problems,
                                      std::size_t maxListed = 20);

struct DefinitionLoad {
  bool loaded = false;  // the file was read into the store
  std::vector<std::string> problems;
};

// Loads a register definition file as the main document (LoadDocument, which
// reports an unreadable file) and checks it. Problems are shown once, as one
// message, and the definition stays loaded: the part can still be inspected
// and the engineer sees every line to mend at once.
DefinitionLoad LoadDefinition(markup::MarkupStore& store, const std::string& path,
                              markup::MessageBox& messages);

}  // namespace kestrova::definition
