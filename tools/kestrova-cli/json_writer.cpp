#include "json_writer.hpp"

#include <cstdio>

namespace kestrova::cli {

std::string JsonWriter::Quote(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

void JsonWriter::Separate() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) {
      text_ += ',';
    }
    first_.back() = false;
  }
}

void JsonWriter::BeginObject() {
  Separate();
  text_ += '{';
  first_.push_back(true);
}

void JsonWriter::EndObject() {
  text_ += '}';
  first_.pop_back();
}

void JsonWriter::BeginArray() {
  Separate();
  text_ += '[';
  first_.push_back(true);
}

void JsonWriter::EndArray() {
  text_ += ']';
  first_.pop_back();
}

void JsonWriter::Key(std::string_view name) {
  Separate();
  text_ += Quote(name);
  text_ += ':';
  afterKey_ = true;
}

void JsonWriter::String(std::string_view utf8) {
  Separate();
  text_ += Quote(utf8);
}

void JsonWriter::Number(std::int64_t value) {
  Separate();
  text_ += std::to_string(value);
}

void JsonWriter::Bool(bool value) {
  Separate();
  text_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  Separate();
  text_ += "null";
}

}  // namespace kestrova::cli
