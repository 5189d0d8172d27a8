#include "markup/markup_store.hpp"

#include <algorithm>
#include <cstring>
#include <utility>

#include "markup/file_access.hpp"

namespace kestrova::markup {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Upper case of a single-byte (Latin-1) character.
unsigned char UpperLatin1(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
    return static_cast<unsigned char>(c - 0x20);
  }
  return c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperLatin1(static_cast<unsigned char>(a[i])) !=
        UpperLatin1(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The place of the value of attribute `name` in `line`: the first occurrence of
// ` name="`; npos when absent. `valueEnd` is the closing quote (npos when none).
std::size_t FindAttributeValue(std::string_view line, std::string_view name,
                               std::size_t& valueEnd) {
  valueEnd = std::string_view::npos;
  if (name.empty()) {
    return std::string_view::npos;
  }
  std::size_t from = 1;
  while (from < line.size()) {
    const std::size_t at = line.find(name, from);
    if (at == std::string_view::npos) {
      return std::string_view::npos;
    }
    const std::size_t after = at + name.size();
    if (line[at - 1] == ' ' && after + 1 < line.size() && line[after] == '=' &&
        line[after + 1] == '"') {
      const std::size_t begin = after + 2;
      valueEnd = line.find('"', begin);
      return begin;
    }
    from = at + 1;
  }
  return std::string_view::npos;
}

std::size_t RoundUpToStep(std::size_t count) {
  const std::size_t step = static_cast<std::size_t>(MarkupStore::kCapacityStep);
  return (count + step - 1) / step * step;
}

}  // namespace

MarkupStore::MarkupStore() = default;
MarkupStore::MarkupStore(MarkupStore&&) noexcept = default;
MarkupStore& MarkupStore::operator=(MarkupStore&&) noexcept = default;
MarkupStore::~MarkupStore() = default;

void MarkupStore::SetRetryWait(RetryWait wait) {
  wait_ = std::move(wait);
}
void MarkupStore::SetWriteFunction(WriteFunction write) {
  write_ = std::move(write);
}

bool MarkupStore::Fail(std::string message) {
  lastError_ = std::move(message);
  return false;
}

void MarkupStore::IndexLine(std::string_view line, LineRecord& record) {
  const std::size_t endTag = line.find("</");
  record.endTagPos = endTag == std::string_view::npos ? 0 : static_cast<std::uint32_t>(endTag + 1);
  const std::size_t lt = line.find('<');
  record.firstLt = lt == std::string_view::npos ? 0 : static_cast<std::uint32_t>(lt + 1);
  record.nameBegin = 0;
  record.nameLength = 0;
  if (lt != std::string_view::npos) {
    // The name runs to the first space, or without one to the first ">".
    const std::string_view rest = line.substr(lt + 1);
    std::size_t cut = rest.find(' ');
    if (cut == std::string_view::npos) {
      cut = rest.find('>');
    }
    if (cut == std::string_view::npos) {
      cut = rest.size();
    }
    record.nameBegin = static_cast<std::uint32_t>(lt + 1);
    record.nameLength = static_cast<std::uint32_t>(cut);
  }
}

MarkupStore::LineRecord MarkupStore::MakeLine(int depth, std::string_view text, int sourceLine) {
  LineRecord record;
  record.offset = static_cast<std::uint32_t>(text_.size());
  record.sourceLine = sourceLine;
  const std::size_t indent = depth > 0 ? static_cast<std::size_t>(depth) : 0;
  text_.append(indent, ' ');
  const std::size_t textStart = text_.size();
  text_.append(text);
  // Stored lines never hold tabs: indentation is one space per depth and a tab
  // inside the tag becomes a space.
  if (std::memchr(text_.data() + textStart, '\t', text_.size() - textStart) != nullptr) {
    std::replace(text_.begin() + static_cast<std::ptrdiff_t>(textStart), text_.end(), '\t', ' ');
  }
  record.length = static_cast<std::uint32_t>(text_.size() - record.offset);
  IndexLine(View(record), record);
  return record;
}

bool MarkupStore::GrowIfFull() {
  if (capacity_ > LineCount()) {
    return true;
  }
  if (capacity_ + kCapacityStep > kMaxLines) {
    return Fail("The markup store is full: a document holds at most " + std::to_string(kMaxLines) +
                " lines");
  }
  capacity_ += kCapacityStep;
  lines_.reserve(static_cast<std::size_t>(capacity_));
  return true;
}

bool MarkupStore::AddLine(int depth, std::string_view text, int position) {
  if (!GrowIfFull()) {
    return false;
  }
  if (position == -1) {
    lines_.push_back(MakeLine(depth, text, 0));
    return true;
  }
  const int k = cursor_ + position;
  if (k < 1 || k > LineCount() + 1) {
    return Fail("Cannot insert a line at position " + std::to_string(k) + " of a document of " +
                std::to_string(LineCount()) + " lines");
  }
  const LineRecord record = MakeLine(depth, text, 0);
  lines_.insert(lines_.begin() + (k - 1), record);
  if (position == 0) {
    ++cursor_;
  }
  return true;
}

std::string_view MarkupStore::Line(int number) const {
  if (number < 1 || number > LineCount()) {
    return {};
  }
  return View(lines_[static_cast<std::size_t>(number - 1)]);
}

int MarkupStore::SourceLine(int number) const {
  if (number < 1 || number > LineCount()) {
    return 0;
  }
  return lines_[static_cast<std::size_t>(number - 1)].sourceLine;
}

bool MarkupStore::ParseText(std::string_view text, Document& out, bool& complete) {
  complete = false;
  std::swap(text_, out.text);  // MakeLine appends to text_; borrow it for the new document
  text_.clear();
  text_.reserve(text.size());
  out.lines.clear();
  int depth = 0;
  int physical = 0;
  std::size_t pos = 0;
  bool ok = true;
  while (pos < text.size()) {
    // One physical line: ends at LF, CR LF or a lone CR.
    const char* begin = text.data() + pos;
    const std::size_t rest = text.size() - pos;
    const void* lf = std::memchr(begin, '\n', rest);
    std::size_t end = lf == nullptr ? text.size() : static_cast<const char*>(lf) - text.data();
    if (const void* cr = std::memchr(begin, '\r', end - pos)) {
      end = static_cast<const char*>(cr) - text.data();
    }
    const std::string_view line = text.substr(pos, end - pos);
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      pos = end + 2;
    } else {
      pos = end + 1;
    }
    ++physical;

    const std::size_t p = line.find('<');
    if (p == std::string_view::npos || p + 1 >= line.size()) {
      continue;
    }
    const char c = line[p + 1];
    if (!IsAsciiLetter(c) && c != '/') {
      continue;  // declarations, comments
    }
    const std::size_t q = line.rfind('>');
    if (q == std::string_view::npos || q <= p) {
      continue;
    }
    const std::string_view tag = line.substr(p, q - p + 1);
    bool last = false;
    int lineDepth = depth;
    if (c == '/') {
      --depth;
      lineDepth = depth;
      last = depth < 1;
    } else if (tag.find("/>") == std::string_view::npos) {
      ++depth;
    }
    if (out.lines.size() >= static_cast<std::size_t>(kMaxLines)) {
      ok = Fail("The document has more than " + std::to_string(kMaxLines) +
                " tag lines, more than the markup store holds (line " + std::to_string(physical) +
                ")");
      break;
    }
    out.lines.push_back(MakeLine(lineDepth, tag, physical));
    if (last) {
      complete = true;
      break;
    }
  }
  std::swap(text_, out.text);
  return ok;
}

bool MarkupStore::LoadMarkupText(std::string_view text) {
  Document document;
  bool complete = false;
  if (!ParseText(text, document, complete)) {
    return false;
  }
  lines_ = std::move(document.lines);
  text_ = std::move(document.text);
  wasted_ = 0;
  capacity_ = std::max(capacity_, static_cast<int>(RoundUpToStep(lines_.size())));
  lines_.reserve(static_cast<std::size_t>(capacity_));
  cursor_ = 0;
  if (complete) {
    modified_ = false;
  }
  lastError_.clear();
  openFailure_ = false;
  return true;
}

bool MarkupStore::LoadMarkupFile(const std::string& path) {
  FileAccessOptions options;
  options.attempts = kOpenAttempts;
  options.retryDelay = kOpenRetryDelay;
  options.wait = wait_;
  std::string contents;
  const FileAccessResult read = ReadWholeFile(path, contents, options);
  if (!read.ok) {
    openFailure_ = read.openFailure;
    return Fail(read.error);
  }
  if (!LoadMarkupText(contents)) {
    openFailure_ = false;
    lastError_ = path + ": " + lastError_;
    return false;
  }
  return true;
}

std::string MarkupStore::SavedText() const {
  std::string out;
  out.reserve(text_.size() - wasted_ + lines_.size() * 2);
  for (const LineRecord& line : lines_) {
    out.append(View(line));
    out.append("\r\n");
  }
  return out;
}

bool MarkupStore::SaveMarkupFile(const std::string& path) {
  FileAccessOptions options;
  options.attempts = kOpenAttempts;
  options.retryDelay = kOpenRetryDelay;
  options.wait = wait_;
  options.write = write_;
  const FileAccessResult written = WriteFileAtomically(path, SavedText(), options);
  openFailure_ = written.openFailure;
  if (!written.ok) {
    return Fail(written.error);
  }
  lastError_.clear();
  modified_ = false;
  return true;
}

bool MarkupStore::FindElement(int level, std::string_view name) {
  if (level == 0) {
    cursor_ = 0;
  }
  const std::uint32_t lv = level < 0 ? 0 : static_cast<std::uint32_t>(level);
  const int count = LineCount();
  while (cursor_ < count) {
    const LineRecord& line = lines_[static_cast<std::size_t>(cursor_)];
    if (line.endTagPos != 0) {
      if (line.endTagPos <= lv) {
        return false;  // an end tag of a shallower element closes the scope
      }
    } else {
      if (line.firstLt <= lv) {
        return false;  // a shallower element: the scope has ended
      }
      if (line.firstLt == lv + 1 && line.nameLength == name.size() &&
          std::memcmp(text_.data() + line.offset + line.nameBegin, name.data(), name.size()) == 0) {
        ++cursor_;
        return true;
      }
    }
    ++cursor_;
  }
  return false;
}

std::string_view MarkupStore::GetAttributeView(std::string_view name) const {
  const std::string_view line = Line(cursor_);
  std::size_t valueEnd = 0;
  const std::size_t begin = FindAttributeValue(line, name, valueEnd);
  if (begin == std::string_view::npos || valueEnd == std::string_view::npos) {
    return {};
  }
  return line.substr(begin, valueEnd - begin);
}

std::string MarkupStore::GetAttribute(std::string_view name) const {
  return std::string(GetAttributeView(name));
}

bool MarkupStore::SetAttribute(std::string_view name, std::string_view value, bool markModified) {
  if (cursor_ < 1 || cursor_ > LineCount() || value.empty()) {
    return false;
  }
  if (value.find_first_of("\"\r\n") != std::string_view::npos) {
    return Fail("An attribute value cannot hold a double quote or a line break");
  }
  LineRecord& record = lines_[static_cast<std::size_t>(cursor_ - 1)];
  const std::string_view line = View(record);
  std::size_t valueEnd = 0;
  const std::size_t begin = FindAttributeValue(line, name, valueEnd);
  if (begin == std::string_view::npos || valueEnd == std::string_view::npos || valueEnd == begin) {
    return false;  // never adds an attribute, never fills an empty one
  }
  const std::string_view old = line.substr(begin, valueEnd - begin);
  if (EqualIgnoringCase(old, value)) {
    return false;
  }
  const std::size_t oldLength = old.size();
  const std::size_t tailLength = record.length - valueEnd;
  if (value.size() <= oldLength) {
    // Shrink in place: the tail moves left, the freed bytes are left unused.
    char* base = text_.data() + record.offset;
    std::memmove(base + begin + value.size(), base + valueEnd, tailLength);
    std::memcpy(base + begin, value.data(), value.size());
    for (std::size_t i = begin; i < begin + value.size(); ++i) {
      if (base[i] == '\t') {
        base[i] = ' ';
      }
    }
    wasted_ += oldLength - value.size();
    record.length = static_cast<std::uint32_t>(record.length - (oldLength - value.size()));
  } else {
    // Grow: the new line goes to the end of the text, the old bytes are left unused.
    const std::size_t newOffset = text_.size();
    const std::size_t oldOffset = record.offset;
    text_.reserve(text_.size() + record.length + value.size() - oldLength);
    text_.append(text_, oldOffset, begin);
    const std::size_t valueStart = text_.size();
    text_.append(value);
    std::replace(text_.begin() + static_cast<std::ptrdiff_t>(valueStart), text_.end(), '\t', ' ');
    text_.append(text_, oldOffset + valueEnd, tailLength);
    wasted_ += record.length;
    record.offset = static_cast<std::uint32_t>(newOffset);
    record.length = static_cast<std::uint32_t>(text_.size() - newOffset);
  }
  IndexLine(View(record), record);
  if (markModified) {
    modified_ = true;
  }
  CompactIfWasteful();
  return true;
}

void MarkupStore::CompactIfWasteful() {
  constexpr std::size_t kMinWaste = 64 * 1024;
  if (wasted_ < kMinWaste || wasted_ * 2 < text_.size()) {
    return;
  }
  std::string compact;
  compact.reserve(text_.size() - wasted_);
  for (LineRecord& line : lines_) {
    const std::size_t offset = compact.size();
    compact.append(View(line));
    line.offset = static_cast<std::uint32_t>(offset);
  }
  text_ = std::move(compact);
  wasted_ = 0;
}

int MarkupStore::SetXmlFileIndex(int index) {
  const int previous = cursor_;
  if (index < 0 || index > LineCount()) {
    Fail("Line " + std::to_string(index) + " is outside the document of " +
         std::to_string(LineCount()) + " lines");
    return previous;
  }
  cursor_ = index;
  return previous;
}

bool MarkupStore::PushIndex() {
  if (IndexStackDepth() >= kIndexStackSize) {
    return Fail("The index stack is full (" + std::to_string(kIndexStackSize) + " entries)");
  }
  stack_.push_back(cursor_);
  return true;
}

void MarkupStore::PopIndex() {
  if (stack_.empty()) {
    return;
  }
  cursor_ = std::min(stack_.back(), LineCount());
  stack_.pop_back();
}

bool MarkupStore::BeginSideDocument() {
  if (sideParked_) {
    return Fail("A side document is already open; the parked document would be lost");
  }
  if (!PushIndex()) {
    return false;
  }
  side_.lines = std::move(lines_);
  side_.text = std::move(text_);
  side_.wasted = wasted_;
  lines_ = {};
  lines_.reserve(static_cast<std::size_t>(capacity_));
  text_ = {};
  wasted_ = 0;
  cursor_ = 0;
  sideParked_ = true;
  return true;
}

bool MarkupStore::EndSideDocument() {
  if (!sideParked_) {
    return Fail("No side document is open");
  }
  lines_ = std::move(side_.lines);
  text_ = std::move(side_.text);
  wasted_ = side_.wasted;
  side_ = {};
  sideParked_ = false;
  PopIndex();
  return true;
}

}  // namespace kestrova::markup
