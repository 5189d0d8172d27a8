#pragma once
// The startup file `dravik.def` in the program folder: the device to open at
// start and the mask of test features. While the program runs the file names
// no device ("none"), so a start after a crash asks for the device instead of
// opening the one that was in use.

#include <cstdint>
#include <string>
#include <string_view>

#include "markup/markup_store.hpp"
#include "markup/message_box.hpp"

namespace kestrova::definition {

inline constexpr std::string_view kStartupFileName = "dravik.def";
inline constexpr std::string_view kNoDevice = "none";

// Bits of `testFlags`.
inline constexpr std::uint8_t TEST_RAW_REGISTER_MENU = 1;   // "&Write/Read Reg" entry shown
inline constexpr std::uint8_t TEST_IGNORE_FAILURES = 2;     // every transfer counts as successful
inline constexpr std::uint8_t TEST_LIBRARY_ERROR_TEXT = 4;  // board errors add the library's text
inline constexpr std::uint8_t TEST_WRITE_LOG = 8;           // `write.log` trace of writes
inline constexpr std::uint8_t TEST_NO_CHECKVALUE = 16;      // part identity check skipped

struct StartupSettings {
  std::string deviceName{kNoDevice};
  std::uint8_t testFlags = 0;
  std::string problem;  // a `test` that could not be used, naming the file; else empty
};

std::string StartupFilePath(const std::string& programFolder);

// Reads the startup file (through the side document, so a loaded definition
// stays) and, when it names a device, rewrites it with "none" at once. A
// missing file is created with device "none" and test "0". An unreadable file
// shows "File read/write error for <path>"; a `test` that is missing, empty or
// not hexadecimal from 0 to FF is reported and all test features stay off.
StartupSettings LoadStartupFile(markup::MarkupStore& store, const std::string& programFolder,
                                markup::MessageBox& messages);

// The settings of the startup file's root at the cursor, read from `path`:
// an empty `device` is "none"; a `test` that is missing, empty or not
// hexadecimal from 0 to FF leaves every test feature off, and says so.
StartupSettings ReadStartupSettings(const markup::MarkupStore& store, const std::string& path);

// Records the device in the startup file at a normal end of the program. A
// missing file is created (test "0").
bool SaveStartupFile(markup::MarkupStore& store, const std::string& programFolder,
                     std::string_view deviceName, markup::MessageBox& messages);

}  // namespace kestrova::definition
