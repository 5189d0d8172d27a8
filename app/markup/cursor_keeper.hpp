#pragma once
// Saves the store's cursor and puts it back however the scope ends, for
// operations that search the document on behalf of a caller that stands on
// a line of its own.

#include "markup/markup_store.hpp"

namespace kestrova::markup {

class CursorKeeper {
 public:
  explicit CursorKeeper(MarkupStore& store) : store_(store), saved_(store.XmlFileIndex()) {}
  ~CursorKeeper() { store_.SetXmlFileIndex(saved_); }
  CursorKeeper(const CursorKeeper&) = delete;
  CursorKeeper& operator=(const CursorKeeper&) = delete;

 private:
  MarkupStore& store_;
  int saved_;
};

}  // namespace kestrova::markup
