// The last-error text: 256 bytes, terminator copied over the start, the tail
// of an older longer message kept, never cleared by a success.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "last_error.hpp"
#include "library_fixture.hpp"

namespace dravik::testing {
namespace {

using LastErrorTest = LibraryTest;

TEST_F(LastErrorTest, AllZeroAtStart) {
  const std::vector<char> bytes = LastErrorBytes();
  EXPECT_EQ(bytes, std::vector<char>(256, '\0'));
}

TEST_F(LastErrorTest, ShortMessageAfterLongOneKeepsTheTail) {
  SetLastError("ReadDevice: Wrong number of bytes read from Dravik driver");
  SetLastError("ReadDevice: DataSize < 1");
  const std::vector<char> bytes = LastErrorBytes();
  EXPECT_STREQ(bytes.data(), "ReadDevice: DataSize < 1");
  // Behind the terminator: the rest of the older, longer text.
  EXPECT_STREQ(bytes.data() + 25, "of bytes read from Dravik driver");
  EXPECT_EQ(bytes[255], '\0');
}

TEST_F(LastErrorTest, CopiesAll256Bytes) {
  std::string longText(255, 'a');
  SetLastError(longText.c_str());
  char buffer[300];
  std::memset(buffer, 'z', sizeof buffer);
  EXPECT_EQ(LastErrorDevice(buffer), 1);
  EXPECT_EQ(std::string(buffer), longText);
  EXPECT_EQ(buffer[255], '\0');
  EXPECT_EQ(buffer[256], 'z');  // nothing beyond the 256 bytes
}

TEST_F(LastErrorTest, MessageOver255CharactersKeepsItsStartAndTerminator) {
  std::string longText = "OpenDevice: " + std::string(400, 'b');
  SetLastError(longText.c_str());
  EXPECT_EQ(LastError(), longText.substr(0, 255));
}

TEST_F(LastErrorTest, SuccessNeverClearsTheText) {
  const DeviceHandle handle = OpenBoard();
  int16_t registers[1] = {0};
  uint8_t data[1] = {0};
  int16_t size = 0;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size), 0);
  size = 1;
  EXPECT_EQ(ReadDevice(handle, 0, BUS_I2C, 0x48, registers, data, &size), 1);
  EXPECT_EQ(LastError(), "ReadDevice: DataSize < 1");
}

TEST_F(LastErrorTest, NullBufferIsRefused) {
  EXPECT_EQ(LastErrorDevice(nullptr), 0);
  EXPECT_EQ(LastError(), "LastErrorDevice: Buffer is NULL");
}

}  // namespace
}  // namespace dravik::testing
