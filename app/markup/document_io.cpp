#include "markup/document_io.hpp"

namespace kestrova::markup {

std::string FileErrorMessage(const MarkupStore& store, const std::string& path) {
  std::string message = "File read/write error for " + path;
  if (!store.LastErrorWasOpenFailure() && !store.LastError().empty()) {
    message += "\r\n" + store.LastError();
  }
  return message;
}

bool LoadDocument(MarkupStore& store, const std::string& path, MessageBox& messages) {
  if (store.LoadMarkupFile(path)) {
    return true;
  }
  messages.Show(FileErrorMessage(store, path), MB_OK);
  return false;
}

bool SaveDocument(MarkupStore& store, const std::string& path, MessageBox& messages) {
  if (store.SaveMarkupFile(path)) {
    return true;
  }
  messages.Show(FileErrorMessage(store, path), MB_OK);
  return false;
}

}  // namespace kestrova::markup
