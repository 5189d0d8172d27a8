#pragma once
// The markup store: the one in-memory document of tag lines through which every
// file of the program is read, searched, changed and written, with a cursor, an
// index stack and one parked side document. The program owns one store and
// passes it to whoever needs the loaded definition.
//
// Line numbers are 1-based; the cursor 0 means "before the first line". The line
// number of an element's start tag is its `xmlfileindex`.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "markup/log_file.hpp"

namespace kestrova::markup {

class MarkupStore {
 public:
  // The line table grows in steps of this many lines.
  static constexpr int kCapacityStep = 2048;
  // The capacity is a 16-bit signed number: 15 steps of 2048 is the most it holds.
  static constexpr int kMaxLines = 30720;
  // Saved cursor values on the index stack.
  static constexpr int kIndexStackSize = 21;
  // A file is tried this many times, this far apart, before it counts as unreadable.
  static constexpr int kOpenAttempts = 10;
  static constexpr std::chrono::milliseconds kOpenRetryDelay{50};

  // Waits between opening attempts; tests replace it so they stay fast.
  using RetryWait = std::function<void(std::chrono::milliseconds)>;
  // Writes bytes to an open file descriptor like ::write; tests replace it to
  // simulate a full disk or an interrupted save.
  using WriteFunction = std::function<long(int fd, const char* data, std::size_t size)>;

  MarkupStore();
  MarkupStore(const MarkupStore&) = delete;
  MarkupStore& operator=(const MarkupStore&) = delete;
  MarkupStore(MarkupStore&&) noexcept;
  MarkupStore& operator=(MarkupStore&&) noexcept;
  ~MarkupStore();

  // --- Whole documents -----------------------------------------------------
  // Replaces the document with the tag lines of the file. False when the file
  // cannot be opened (after the retries) or would exceed kMaxLines; the store
  // then keeps what it held and LastError() says why.
  bool LoadMarkupFile(const std::string& path);
  // The same from text already in memory (physical line numbers count from 1).
  bool LoadMarkupText(std::string_view text);
  // Writes lines 1..count, each followed by CR LF. The file is replaced whole:
  // written to a temporary file in the same folder and renamed into place, so a
  // failed save keeps the old file. False on any failure (see LastError()).
  bool SaveMarkupFile(const std::string& path);
  // The document as SaveMarkupFile writes it.
  std::string SavedText() const;

  // --- Lines ---------------------------------------------------------------
  // Stores `text` at `depth` (one space per depth, tabs become spaces).
  // position -1 appends; otherwise the line becomes line cursor + position;
  // position 0 then advances the cursor so it stays on the same element.
  // False (nothing stored) when the store is full or the position lies outside
  // the document.
  bool AddLine(int depth, std::string_view text, int position);
  int LineCount() const { return static_cast<int>(lines_.size()); }
  int Capacity() const { return capacity_; }
  // Line `number` (1..LineCount()) as stored; empty for other numbers. The view
  // stays valid until the store is next changed.
  std::string_view Line(int number) const;
  // The physical line of the loaded file that stored line `number` came from;
  // 0 for generated lines and numbers outside the document.
  int SourceLine(int number) const;

  // --- Cursor and search ---------------------------------------------------
  // Searches forward for a start or empty-element tag `name` at depth `level`
  // inside the current scope; on success the cursor is on the found line.
  bool FindElement(int level, std::string_view name);
  // The attribute `name` of the line at the cursor; empty when absent or empty.
  std::string GetAttribute(std::string_view name) const;
  // As GetAttribute, without a copy; valid until the store is next changed.
  std::string_view GetAttributeView(std::string_view name) const;
  // Replaces the existing, non-empty value of attribute `name` of the line at
  // the cursor. A value equal apart from letter case, an empty value, or a
  // value holding a double quote or a line break changes nothing. True when
  // the line changed.
  bool SetAttribute(std::string_view name, std::string_view value, bool markModified);
  int XmlFileIndex() const { return cursor_; }
  // Sets the cursor and returns its previous value. Numbers outside
  // 0..LineCount() are refused (the cursor stays).
  int SetXmlFileIndex(int index);
  // False (cursor not saved) when the stack already holds kIndexStackSize entries.
  bool PushIndex();
  void PopIndex();
  void ClearIndexStack() { stack_.clear(); }
  int IndexStackDepth() const { return static_cast<int>(stack_.size()); }
  bool IsModified() const { return modified_; }

  // --- Side document -------------------------------------------------------
  // Parks the document (and pushes the cursor) and leaves an empty one. False
  // when a document is already parked or the index stack is full.
  bool BeginSideDocument();
  // Brings the parked document back and pops the cursor. False when none is parked.
  bool EndSideDocument();
  bool HasSideDocument() const { return sideParked_; }

  // --- Log file ------------------------------------------------------------
  bool OpenLogFile(const std::string& path) { return log_.Open(path); }
  bool WriteLogLine(std::string_view text) { return log_.WriteLine(text); }
  bool CloseLogFile() { return log_.Close(); }
  bool IsLogFileOpen() const { return log_.IsOpen(); }

  // --- Diagnostics and seams -----------------------------------------------
  // Why the last refused or failed operation failed (empty after none).
  const std::string& LastError() const { return lastError_; }
  // True when the last LoadMarkupFile/SaveMarkupFile failed only because the
  // file could not be opened (the plain "File read/write error").
  bool LastErrorWasOpenFailure() const { return openFailure_; }
  void SetRetryWait(RetryWait wait);
  void SetWriteFunction(WriteFunction write);

 private:
  struct LineRecord {
    std::uint32_t offset = 0;  // first byte in text_
    std::uint32_t length = 0;
    std::int32_t sourceLine = 0;
    // Cached for FindElement: 1-based positions of the first "</" and the first
    // "<" (0 when absent), and the element name's place in the line.
    std::uint32_t endTagPos = 0;
    std::uint32_t firstLt = 0;
    std::uint32_t nameBegin = 0;
    std::uint32_t nameLength = 0;
  };
  struct Document {
    std::vector<LineRecord> lines;
    std::string text;
    std::size_t wasted = 0;  // bytes of text no line refers to any more
  };

  std::string_view View(const LineRecord& line) const {
    return std::string_view(text_).substr(line.offset, line.length);
  }
  // Appends depth-indented text to text_ and returns its record.
  LineRecord MakeLine(int depth, std::string_view text, int sourceLine);
  static void IndexLine(std::string_view line, LineRecord& record);
  bool GrowIfFull();
  bool ParseText(std::string_view text, Document& out, bool& complete);
  void CompactIfWasteful();
  bool Fail(std::string message);

  std::vector<LineRecord> lines_;
  std::string text_;
  std::size_t wasted_ = 0;
  int capacity_ = 0;
  int cursor_ = 0;
  std::vector<int> stack_;
  bool modified_ = false;
  Document side_;
  bool sideParked_ = false;
  LogFile log_;
  std::string lastError_;
  bool openFailure_ = false;
  RetryWait wait_;
  WriteFunction write_;
};

}  // namespace kestrova::markup
