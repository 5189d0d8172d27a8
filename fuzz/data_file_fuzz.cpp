// Any bytes as a register data file (*.dat), read through the side document
// while a definition is loaded.
//
// Properties: the lists are filled only up to their room; a file is applied
// whole or not at all (count 0 and a message); entries read, written and
// read again are the same; the loaded definition stays as it was.

#include <array>
#include <cstdint>
#include <string>

#include "definition/data_file.hpp"
#include "fuzz_support.hpp"
#include "markup/markup_store.hpp"

using namespace kestrova;
using markup::MarkupStore;

namespace {

// Room smaller than the file format allows, so the overflow check is reached
// with small inputs too; guard bytes behind it must stay untouched.
constexpr std::size_t kRoom = 40;
constexpr std::size_t kGuard = 8;
constexpr std::uint8_t kGuardByte = 0xA5;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::ExactCopy input(data, size);
  MarkupStore store;
  store.SetRetryWait([](std::chrono::milliseconds) {});
  FUZZ_CHECK(store.LoadMarkupText(fuzz::kOpenPartDocument));
  store.SetXmlFileIndex(4);
  const std::string before = store.SavedText();

  const std::string path = fuzz::ScratchFolder() + "/fuzzed.dat";
  fuzz::WriteWholeFile(path, input.View());
  fuzz::OkMessageBox messages;

  // Small room first, then the file format's full room.
  std::array<std::int16_t, kRoom + kGuard> smallAddresses;
  std::array<std::uint8_t, kRoom + kGuard> smallValues;
  smallAddresses.fill(static_cast<std::int16_t>(kGuardByte));
  smallValues.fill(kGuardByte);
  int count = -1;
  const bool smallRead =
      definition::ReadDataFile(store, path, std::span<std::int16_t>(smallAddresses.data(), kRoom),
                               std::span<std::uint8_t>(smallValues.data(), kRoom), count, messages);
  FUZZ_CHECK(smallRead == (count > 0));
  FUZZ_CHECK(count >= 0 && static_cast<std::size_t>(count) <= kRoom);
  for (std::size_t i = kRoom; i < kRoom + kGuard; ++i) {
    FUZZ_CHECK(smallAddresses[i] == kGuardByte && smallValues[i] == kGuardByte);
  }
  FUZZ_CHECK(!store.HasSideDocument());
  FUZZ_CHECK(store.SavedText() == before && store.XmlFileIndex() == 4);

  static std::array<std::int16_t, definition::kMaxDataFileEntries> addresses;
  static std::array<std::uint8_t, definition::kMaxDataFileEntries> values;
  const int shownBefore = messages.shown;
  const bool read = definition::ReadDataFile(store, path, addresses, values, count, messages);
  FUZZ_CHECK(read == (count > 0));
  FUZZ_CHECK(count >= 0 && count <= definition::kMaxDataFileEntries);
  if (!read) {
    return 0;
  }
  // What fit the small lists is the start of the whole file.
  if (smallRead) {
    FUZZ_CHECK(messages.shown == shownBefore);
    for (int i = 0; i < count; ++i) {
      const auto at = static_cast<std::size_t>(i);
      FUZZ_CHECK(smallAddresses[at] == addresses[at] && smallValues[at] == values[at]);
    }
  }

  const std::string copy = fuzz::ScratchFolder() + "/copy.dat";
  FUZZ_CHECK(definition::WriteDataFile(store, copy, addresses, values, count, messages));
  std::array<std::int16_t, definition::kMaxDataFileEntries> addressesAgain{};
  std::array<std::uint8_t, definition::kMaxDataFileEntries> valuesAgain{};
  int countAgain = 0;
  FUZZ_CHECK(
      definition::ReadDataFile(store, copy, addressesAgain, valuesAgain, countAgain, messages));
  FUZZ_CHECK(countAgain == count);
  for (int i = 0; i < count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    FUZZ_CHECK(addressesAgain[at] == addresses[at] && valuesAgain[at] == values[at]);
  }
  FUZZ_CHECK(store.SavedText() == before && store.XmlFileIndex() == 4);
  return 0;
}
