#pragma once
// Runs a test under a German locale (decimal comma) for both the C library and
// the C++ global locale, so number texts that followed the locale would show.

#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>

namespace kestrova::engine::testing {

class CommaDecimal : public std::numpunct<char> {
 protected:
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

// Sets LC_ALL to de_DE.UTF-8, compiling that locale into a temporary folder
// when the system has not generated it.
inline bool SetGermanCLocale() {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr) {
    return true;
  }
  // Compiled once per machine; test processes running side by side each
  // compile into a folder of their own and move it into place whole.
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / "kestrova-test-locales";
  const std::filesystem::path locale = dir / "de_DE.UTF-8";
  std::error_code ignored;
  if (!std::filesystem::exists(locale / "LC_NUMERIC")) {
    std::filesystem::create_directories(dir, ignored);
    const std::filesystem::path own = dir / ("building-" + std::to_string(::getpid()));
    const std::string command =
        "localedef -i de_DE -f UTF-8 '" + own.string() + "' >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());
    std::filesystem::rename(own, locale, ignored);
    std::filesystem::remove_all(own, ignored);
  }
  setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

class GermanLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    ASSERT_TRUE(SetGermanCLocale()) << "the de_DE.UTF-8 locale cannot be set up";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    std::locale::global(previous_);
  }

 private:
  std::locale previous_;
};

}  // namespace kestrova::engine::testing
