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

#include <regex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kestrova::testing {

// `name a=1 b='x y'` as a tag body: `name a="1" b="x y"`.
inline std::string TagBody(std::string_view text) {
  static const std::regex attribute(R"( +([^ =]+)=(?:'([^']*)'|([^ ]*)))");
  const std::string body = std::regex_replace(std::string(text), attribute, R"( $1="$2$3")");
  return body.substr(0, body.find_last_not_of(' ') + 1);
}

inline std::string PartText(std::string_view elements, std::string_view partAttributes = "") {
  static const std::regex element(R"((>+)(.*?)(?= >|$))");
  const std::string all(elements);
  std::vector<std::pair<std::size_t, std::string>> list = {
      {1, TagBody("part " + std::string(partAttributes))}};  // depth, tag body
  for (std::sregex_iterator it(all.begin(), all.end(), element), end; it != end; ++it) {
    list.emplace_back((*it)[1].length() + 1, TagBody((*it)[2].str()));
  }
  std::string text = "<definition>\r\n";
  std::vector<std::string> open;  // the names of the elements open at depth 1, 2, ...
  const auto close = [&](std::size_t depth) {
    for (; open.size() >= depth; open.pop_back()) {
      text += std::string(open.size(), ' ') + "</" + open.back() + ">\r\n";
    }
  };
  for (std::size_t i = 0; i < list.size(); ++i) {
    const auto& [depth, body] = list[i];
    close(depth);
    const bool parent = i == 0 || (i + 1 < list.size() && list[i + 1].first > depth);
    text += std::string(depth, ' ') + "<" + body + (parent ? ">" : "/>") + "\r\n";
    if (parent) {
      open.push_back(body.substr(0, body.find(' ')));
    }
  }
  close(1);
  return text + "</definition>\r\n";
}

}  // namespace kestrova::testing
