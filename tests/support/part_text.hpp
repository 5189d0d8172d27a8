#pragma once
// Part definitions in a short form for test tables: the elements in document
// order, each led by one ">" per depth below <part> and followed by its
// name=value attributes ('...' around a value with blanks or an empty one):
//
//   ">register title=A >>bitfield addr=5 bit=7:4 value=3 >>>add type=writefirst order=1"
//
// PartText gives the definition file as the program writes it: one tag per
// line, CR LF, one space of indentation per depth, end tags for elements
// with children.

#include <string>
#include <string_view>
#include <vector>

namespace kestrova::testing {

// `name a=1 b='x y'` as a tag body: `name a="1" b="x y"`.
inline std::string TagBody(std::string_view text) {
  std::vector<std::string> words(1);
  bool quoted = false;
  for (const char c : text) {
    if (c == '\'') {
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  std::string body = words[0];
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::size_t equals = words[i].find('=');
    if (equals != std::string::npos) {
      body += " " + words[i].substr(0, equals) + "=\"" + words[i].substr(equals + 1) + "\"";
    }
  }
  return body;
}

inline std::string PartText(std::string_view elements, std::string_view partAttributes = "") {
  struct Element {
    std::size_t depth;
    std::string body;
  };
  std::vector<Element> list;
  for (std::size_t at = elements.find('>'); at != std::string_view::npos;) {
    std::size_t depth = 1;
    while (at < elements.size() && elements[at] == '>') {
      ++depth;
      ++at;
    }
    const std::size_t next = elements.find(" >", at);
    list.push_back({depth, TagBody(elements.substr(at, next - at))});
    at = next == std::string_view::npos ? next : next + 1;
  }
  std::string text =
      "<definition>\r\n <" + TagBody("part " + std::string(partAttributes)) + ">\r\n";
  std::vector<const Element*> open;
  const auto close = [&](std::size_t depth) {
    while (!open.empty() && open.back()->depth >= depth) {
      const Element& e = *open.back();
      text += std::string(e.depth, ' ') + "</" + e.body.substr(0, e.body.find(' ')) + ">\r\n";
      open.pop_back();
    }
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    close(list[i].depth);
    const bool parent = i + 1 < list.size() && list[i + 1].depth > list[i].depth;
    text += std::string(list[i].depth, ' ') + "<" + list[i].body + (parent ? ">" : "/>") + "\r\n";
    if (parent) {
      open.push_back(&list[i]);
    }
  }
  close(0);
  return text + " </part>\r\n</definition>\r\n";
}

}  // namespace kestrova::testing
