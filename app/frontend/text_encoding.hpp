#pragma once
// Definition and settings files hold single-byte (Latin-1) text; the
// terminal, JSON and the window speak UTF-8.

#include <string>
#include <string_view>

namespace kestrova::frontend {

std::string Latin1ToUtf8(std::string_view text);
// Characters beyond Latin-1 (and malformed sequences) become "?".
std::string Utf8ToLatin1(std::string_view text);
// True when the text is well-formed UTF-8 (plain ASCII included).
bool IsUtf8(std::string_view text);
// Text that mixes sources (a definition's Latin-1 labels, a path typed in
// UTF-8): kept when it is already UTF-8, else taken as Latin-1.
std::string ToUtf8(std::string_view text);
// A UTF-8 text for a terminal: control characters (C0, DEL and the C1 range
// U+0080..U+009F, which a terminal may obey) written as "\t", "\r", "\n" or
// "\xHH"; line feeds kept when `keepLineFeeds`.
std::string EscapeControls(std::string_view utf8, bool keepLineFeeds = false);
// A definition's text on a terminal: UTF-8, control characters escaped.
std::string Latin1ToTerminal(std::string_view latin1);
// Characters of a UTF-8 text, for lining up columns.
std::size_t DisplayWidth(std::string_view utf8);
// The text with spaces added up to `width` characters.
std::string PadRight(std::string_view utf8, std::size_t width);

}  // namespace kestrova::frontend
