#pragma once
// The frame around every use of a short-lived document: the main document is
// parked when the frame opens and comes back when it closes, whichever way
// the operation leaves.

#include "markup/markup_store.hpp"

namespace kestrova::markup {

class SideDocument {
 public:
  explicit SideDocument(MarkupStore& store) : store_(store), open_(store.BeginSideDocument()) {}
  SideDocument(const SideDocument&) = delete;
  SideDocument& operator=(const SideDocument&) = delete;
  ~SideDocument() {
    if (open_) {
      store_.EndSideDocument();
    }
  }
  // False when the store refused to park its document (see LastError()).
  bool open() const { return open_; }

 private:
  MarkupStore& store_;
  bool open_;
};

}  // namespace kestrova::markup
