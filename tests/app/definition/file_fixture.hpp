#pragma once
// The small files read and written beside a loaded definition: a temp folder,
// the messages shown, and the definition that every such read or write must
// give back as it was.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "../markup/temp_folder.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"

namespace kestrova::definition::testing {

using kestrova::testing::ReadBytes;
using kestrova::testing::WriteBytes;

class FileTest : public ::testing::Test {
 protected:
  FileTest() {
    store.SetRetryWait([](std::chrono::milliseconds) {});
    EXPECT_TRUE(
        store.LoadMarkupText("<definition>\n <part label=\"Main\">\n </part>\n</definition>\n"));
    store.SetXmlFileIndex(2);
  }

  // The prompts shown since the last call, "|" between them.
  std::string Shown() {
    std::string text;
    for (const auto& shown : messages.shown) {
      text += (text.empty() ? "" : "|") + shown.prompt;
    }
    messages.shown.clear();
    return text;
  }

  void ExpectMainDocumentKept() {
    EXPECT_EQ(store.LineCount(), 4);
    EXPECT_EQ(store.Line(2), " <part label=\"Main\">");
    EXPECT_EQ(store.XmlFileIndex(), 2);
    EXPECT_EQ(store.IndexStackDepth(), 0);
    EXPECT_FALSE(store.HasSideDocument());
  }

  kestrova::testing::TempFolder folder;
  markup::MarkupStore store;
  markup::MessageBoxRecorder messages;
};

}  // namespace kestrova::definition::testing
