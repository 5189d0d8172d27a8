#pragma once
// What every fuzz target shares: the input in a heap block of exactly its
// size (so the address sanitizer catches a read one byte past the end), a
// scratch folder for the readers that take a path, a message box that
// answers like a user pressing OK, and a check that aborts with a message.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "markup/message_box.hpp"

namespace kestrova::fuzz {

// Aborts (a crash libFuzzer records) when a property of the reader fails.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

class ExactCopy {
 public:
  ExactCopy(const std::uint8_t* data, std::size_t size) : bytes_(new char[size]), size_(size) {
    if (size > 0) {
      std::memcpy(bytes_.get(), data, size);
    }
  }
  std::string_view View() const { return std::string_view(bytes_.get(), size_); }
  const char* Data() const { return bytes_.get(); }
  std::size_t Size() const { return size_; }

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_;
};

// A folder of this process, on tmpfs when the machine has one; removed at exit.
inline const std::string& ScratchFolder() {
  static const std::string folder = [] {
    std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kestrova-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    static std::string remove;
    remove = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(remove, ignored);
    });
    return pattern;
  }();
  return folder;
}

inline void WriteWholeFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  if (!bytes.empty()) {
    FUZZ_CHECK(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
  }
  std::fclose(file);
}

// A firmware image as `name`.bix in the scratch folder, and the same image as
// `name`.bi2 for high-speed boards; the path of the .bix, as OpenDevice takes it.
inline std::string WriteFirmwareImages(const std::string& name, std::string_view image) {
  const std::string base = ScratchFolder() + "/" + name + ".bix";
  WriteWholeFile(base, image);
  WriteWholeFile(base.substr(0, base.size() - 1) + "2", image);
  return base;
}

// The part open in the program while a settings or data file reader runs:
// what the reader must leave as it was.
inline constexpr std::string_view kOpenPartDocument =
    "<definition>\r\n <part label=\"P\">\r\n  <register title=\"R\">\r\n"
    "   <bitfield addr=\"1\" bit=\"7:0\" value=\"0\"/>\r\n  </register>\r\n </part>\r\n"
    "</definition>\r\n";

inline std::string ReadWholeFileOrEmpty(const std::string& path) {
  std::string contents;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return contents;
  }
  char buffer[4096];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    contents.append(buffer, got);
  }
  std::fclose(file);
  return contents;
}

// Every message is answered like a user pressing OK (or Yes); the prompts
// are counted and must not be empty.
class OkMessageBox : public markup::MessageBox {
 public:
  int Show(std::string_view prompt, int buttons) override {
    FUZZ_CHECK(!prompt.empty());
    ++shown;
    return buttons == markup::MB_OK ? markup::IDOK : markup::IDYES;
  }
  int shown = 0;
};

}  // namespace kestrova::fuzz
