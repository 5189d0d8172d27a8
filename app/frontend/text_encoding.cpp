#include "frontend/text_encoding.hpp"

namespace kestrova::frontend {

namespace {
constexpr unsigned char kFirstNonAscii = 0x80;
}  // namespace

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < kFirstNonAscii) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return out;
}

std::string Utf8ToLatin1(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < kFirstNonAscii) {
      out += text[i];
      continue;
    }
    if ((byte & 0xE0) == 0xC0 && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      const unsigned code =
          ((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      out += code <= 0xFF ? static_cast<char>(code) : '?';
      ++i;
      continue;
    }
    // A longer sequence: skip its continuation bytes.
    out += '?';
    while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80) {
      ++i;
    }
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    int continuation = 0;
    if (byte < kFirstNonAscii) {
      continue;
    }
    if ((byte & 0xE0) == 0xC0 && byte >= 0xC2) {
      continuation = 1;
    } else if ((byte & 0xF0) == 0xE0) {
      continuation = 2;
    } else if ((byte & 0xF8) == 0xF0 && byte <= 0xF4) {
      continuation = 3;
    } else {
      return false;
    }
    for (int k = 0; k < continuation; ++k) {
      if (++i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        return false;
      }
    }
  }
  return true;
}

std::string EscapeControls(std::string_view utf8, bool keepLineFeeds) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  constexpr unsigned char kDelete = 0x7F;
  constexpr unsigned char kC1Lead = 0xC2;  // U+0080..U+00BF
  constexpr unsigned char kC1End = 0xA0;
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    auto code = static_cast<unsigned char>(utf8[i]);
    const bool c1 = code == kC1Lead && i + 1 < utf8.size() &&
                    static_cast<unsigned char>(utf8[i + 1]) >= kFirstNonAscii &&
                    static_cast<unsigned char>(utf8[i + 1]) < kC1End;
    if (c1) {
      code = static_cast<unsigned char>(utf8[++i]);
    } else if ((code >= ' ' && code != kDelete) || (code == '\n' && keepLineFeeds)) {
      out += utf8[i];
      continue;
    }
    switch (code) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        out += "\\x";
        out += kHex[code >> 4];
        out += kHex[code & 0xF];
    }
  }
  return out;
}

std::string ToUtf8(std::string_view text) {
  return IsUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
}

std::string Latin1ToTerminal(std::string_view latin1) {
  return EscapeControls(Latin1ToUtf8(latin1));
}

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (const char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++width;
    }
  }
  return width;
}

std::string PadRight(std::string_view utf8, std::size_t width) {
  std::string out(utf8);
  const std::size_t have = DisplayWidth(utf8);
  if (have < width) {
    out.append(width - have, ' ');
  }
  return out;
}

}  // namespace kestrova::frontend
