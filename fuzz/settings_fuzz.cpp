// Any bytes as the part settings file `part.def` and as the startup file
// `dravik.def`, read through the side document while a definition is loaded.
//
// Properties: the loaded definition and its cursor stay as they were; the
// settings read are within their ranges; settings written and read again
// are the same; a startup file read once names no device ("none") while the
// program runs, and a device recorded at the end is read back at the next start.

#include <cstdint>
#include <string>

#include "definition/numbers.hpp"
#include "definition/part_settings.hpp"
#include "definition/startup_file.hpp"
#include "fuzz_support.hpp"
#include "markup/markup_store.hpp"

using namespace kestrova;
using definition::PartSettings;
using markup::MarkupStore;

namespace {

bool Same(const PartSettings& a, const PartSettings& b) {
  return a.driverClass == b.driverClass && a.regFileName == b.regFileName &&
         a.manualFileName == b.manualFileName && a.logFileName == b.logFileName &&
         a.timer1Interval == b.timer1Interval && a.writeNowValue == b.writeNowValue &&
         a.readAfterWriteValue == b.readAfterWriteValue && a.interfaceAddr == b.interfaceAddr &&
         a.maxLogCount == b.maxLogCount;
}

// The dialect has no quoting: a value that ends in " name=" reads, with the
// quote that closes it, as the start of attribute `name`, so such a value
// cannot survive a round trip. Paths never end in "=".
bool Unambiguous(const PartSettings& s) {
  for (const std::string* text :
       {&s.driverClass, &s.regFileName, &s.manualFileName, &s.logFileName}) {
    if (!text->empty() && text->back() == '=') {
      return false;
    }
  }
  return true;
}

void CheckMainDocument(const MarkupStore& store, const std::string& before) {
  FUZZ_CHECK(!store.HasSideDocument());
  FUZZ_CHECK(store.XmlFileIndex() == 3);
  FUZZ_CHECK(store.IndexStackDepth() == 0);
  FUZZ_CHECK(store.SavedText() == before);
}

void FuzzPartSettings(MarkupStore& store, std::string_view bytes, const std::string& before) {
  const std::string folder = fuzz::ScratchFolder() + "/device";
  std::filesystem::create_directories(folder);
  const std::string path = definition::PartSettingsPath(folder);
  fuzz::WriteWholeFile(path, bytes);
  fuzz::OkMessageBox messages;

  const PartSettings read = definition::LoadPartSettings(store, folder, "device", messages);
  CheckMainDocument(store, before);
  FUZZ_CHECK(read.timer1Interval >= 1);
  FUZZ_CHECK(read.writeNowValue == 0 || read.writeNowValue == 1);
  FUZZ_CHECK(read.readAfterWriteValue == 0 || read.readAfterWriteValue == 1);
  FUZZ_CHECK(read.interfaceAddr >= -1);
  FUZZ_CHECK(read.maxLogCount >= -1);
  FUZZ_CHECK(!read.driverClass.empty() && !read.regFileName.empty() &&
             !read.manualFileName.empty() && !read.logFileName.empty());

  FUZZ_CHECK(definition::SavePartSettings(store, folder, read, messages));
  CheckMainDocument(store, before);
  const PartSettings again = definition::LoadPartSettings(store, folder, "device", messages);
  FUZZ_CHECK(Same(read, again) || !Unambiguous(read));
  FUZZ_CHECK(messages.shown == 0);
}

bool HasRoot(std::string_view bytes) {
  MarkupStore plain;
  return plain.LoadMarkupText(bytes) && plain.FindElement(0, "definition");
}

bool NamesDevice(std::string_view bytes) {
  MarkupStore plain;
  return plain.LoadMarkupText(bytes) && plain.FindElement(0, "definition") &&
         !plain.GetAttribute("device").empty();
}

void FuzzStartupFile(MarkupStore& store, std::string_view bytes, const std::string& before) {
  const std::string folder = fuzz::ScratchFolder();
  const std::string path = definition::StartupFilePath(folder);
  fuzz::WriteWholeFile(path, bytes);
  fuzz::OkMessageBox messages;

  definition::LoadStartupFile(store, folder, messages);
  CheckMainDocument(store, before);
  // While the program runs the file names no device.
  const auto running = definition::LoadStartupFile(store, folder, messages);
  FUZZ_CHECK(definition::UpperCase(running.deviceName) == "NONE");

  // A normal end records the device; the next start reads it.
  FUZZ_CHECK(definition::SaveStartupFile(store, folder, "demo", messages) || messages.shown > 0 ||
             !HasRoot(bytes));
  CheckMainDocument(store, before);
  const auto next = definition::LoadStartupFile(store, folder, messages);
  if (NamesDevice(bytes)) {
    FUZZ_CHECK(next.deviceName == "demo");
  }
  CheckMainDocument(store, before);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy input(data, size);
  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  FUZZ_CHECK(store.LoadMarkupText(fuzz::kOpenPartDocument));
  FUZZ_CHECK(store.FindElement(0, "definition") && store.FindElement(1, "part") &&
             store.FindElement(2, "register"));
  const std::string before = store.SavedText();

  FuzzPartSettings(store, input.View(), before);
  FuzzStartupFile(store, input.View(), before);
  return 0;
}
