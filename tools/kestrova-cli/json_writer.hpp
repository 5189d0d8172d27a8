#pragma once
// A small JSON writer for the tool's one document per command: objects and
// arrays nested by calls, strings escaped, UTF-8 throughout.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrova::cli {

class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // The name of the next member of an object.
  void Key(std::string_view name);
  void String(std::string_view utf8);
  void Number(std::int64_t value);
  void Bool(bool value);
  void Null();

  // Shorthands for members.
  void Member(std::string_view name, std::string_view utf8) {
    Key(name);
    String(utf8);
  }
  void Member(std::string_view name, const char* utf8) {
    Key(name);
    String(utf8);
  }
  void Member(std::string_view name, std::int64_t value) {
    Key(name);
    Number(value);
  }
  void Member(std::string_view name, int value) {
    Key(name);
    Number(value);
  }
  void Member(std::string_view name, bool value) {
    Key(name);
    Bool(value);
  }

  // The document, with a final line end.
  std::string Text() const { return text_ + "\n"; }

  static std::string Quote(std::string_view utf8);

 private:
  void Separate();

  std::string text_;
  std::vector<bool> first_;  // per open container: no element written yet
  bool afterKey_ = false;
};

}  // namespace kestrova::cli
