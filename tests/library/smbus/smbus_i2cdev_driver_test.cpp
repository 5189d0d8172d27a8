#include "smbus/i2cdev_driver.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace dravik::smbus {
namespace {

using ::testing::ElementsAre;

// Records every system call as one line of text, and plays a chip's
// registers behind the SMBus calls.
class RecordingSystemCalls : public SystemCalls {
 public:
  std::vector<std::string> calls;
  unsigned long functions = 0x0c7f0000;  // what i2c-stub offers
  bool openFails = false;
  int failAfter = -1;  // the SMBus call with this index fails
  std::map<uint8_t, uint8_t> registers;
  std::map<uint8_t, uint16_t> words;  // what read-word-data answers
  uint8_t lastSent = 0;
  uint8_t nextReceived = 0x5A;

  int Open(const char* path, int flags) override {
    calls.push_back(std::string("open ") + path + ((flags & O_RDWR) ? " rdwr" : ""));
    return openFails ? -1 : 7;
  }
  int Close(int fd) override {
    calls.push_back("close " + std::to_string(fd));
    return 0;
  }
  int Ioctl(int fd, unsigned long request, unsigned long arg) override {
    char line[96];
    if (request == I2C_FUNCS) {
      *reinterpret_cast<unsigned long*>(arg) = functions;
      std::snprintf(line, sizeof line, "%d I2C_FUNCS", fd);
    } else if (request == I2C_SLAVE) {
      std::snprintf(line, sizeof line, "%d I2C_SLAVE 0x%02lx", fd, arg);
    } else if (request == I2C_SMBUS) {
      auto* data = reinterpret_cast<i2c_smbus_ioctl_data*>(arg);
      const bool read = data->read_write == I2C_SMBUS_READ;
      const char* size = data->size == I2C_SMBUS_BYTE_DATA   ? "byte-data"
                         : data->size == I2C_SMBUS_WORD_DATA ? "word-data"
                         : data->size == I2C_SMBUS_BYTE      ? "byte"
                                                             : "other";
      if (smbusCalls_++ == failAfter) {
        calls.push_back("I2C_SMBUS fails");
        return -1;
      }
      if (read && data->size == I2C_SMBUS_WORD_DATA) {
        data->data->word = words[data->command];
        std::snprintf(line, sizeof line, "%d I2C_SMBUS read word-data 0x%02x -> 0x%04x", fd,
                      data->command, data->data->word);
      } else if (!read && data->size == I2C_SMBUS_WORD_DATA) {
        words[data->command] = data->data->word;
        std::snprintf(line, sizeof line, "%d I2C_SMBUS write word-data 0x%02x 0x%04x", fd,
                      data->command, data->data->word);
      } else if (read) {
        data->data->byte = data->size == I2C_SMBUS_BYTE ? nextReceived++ : registers[data->command];
        std::snprintf(line, sizeof line, "%d I2C_SMBUS read %s 0x%02x -> 0x%02x", fd, size,
                      data->command, data->data->byte);
      } else if (data->size == I2C_SMBUS_BYTE) {
        lastSent = data->command;
        std::snprintf(line, sizeof line, "%d I2C_SMBUS write byte 0x%02x", fd, data->command);
      } else {
        registers[data->command] = data->data->byte;
        std::snprintf(line, sizeof line, "%d I2C_SMBUS write %s 0x%02x 0x%02x", fd, size,
                      data->command, data->data->byte);
      }
    } else {
      std::snprintf(line, sizeof line, "%d ioctl 0x%lx", fd, request);
    }
    calls.push_back(line);
    return 0;
  }

 private:
  int smbusCalls_ = 0;
};

class I2cDevDriverTest : public ::testing::Test {
 protected:
  std::unique_ptr<I2cDevDriver> OpenBus() {
    std::unique_ptr<I2cDevDriver> driver = I2cDevDriver::Open("/dev/i2c-0", calls);
    calls.calls.clear();
    return driver;
  }

  RecordingSystemCalls calls;
};

TEST_F(I2cDevDriverTest, OpensReadWriteAndChecksTheAdapterFunctions) {
  std::unique_ptr<I2cDevDriver> driver = I2cDevDriver::Open("/dev/i2c-0", calls);
  ASSERT_NE(driver, nullptr);
  EXPECT_THAT(calls.calls, ElementsAre("open /dev/i2c-0 rdwr", "7 I2C_FUNCS"));
  driver.reset();
  EXPECT_EQ(calls.calls.back(), "close 7");
}

TEST_F(I2cDevDriverTest, RefusesAnAdapterWithoutByteDataOrAPathThatDoesNotOpen) {
  calls.functions = I2C_FUNC_I2C | I2C_FUNC_SMBUS_READ_BYTE_DATA;  // no write-byte-data
  EXPECT_EQ(I2cDevDriver::Open("/dev/i2c-0", calls), nullptr);
  EXPECT_EQ(calls.calls.back(), "close 7");
  calls.openFails = true;
  EXPECT_EQ(I2cDevDriver::Open("/dev/i2c-9", calls), nullptr);
  EXPECT_EQ(I2cDevDriver::Open(nullptr, calls), nullptr);
}

TEST_F(I2cDevDriverTest, AReadBlockIsOneReadByteDataPerRegisterAfterSettingTheAddress) {
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  calls.registers = {{0, 0x19}, {1, 0x80}};
  uint8_t block[5] = {0x48, 0, 2, 0, 1};
  uint32_t returned = 0;
  ASSERT_TRUE(driver->Control(kIoctlRead, block, 5, &returned));
  EXPECT_EQ(returned, 5u);
  EXPECT_THAT(calls.calls,
              ElementsAre("7 I2C_SLAVE 0x48", "7 I2C_SMBUS read byte-data 0x00 -> 0x19",
                          "7 I2C_SMBUS read byte-data 0x01 -> 0x80"));
  EXPECT_THAT(block, ElementsAre(0x48, 0, 2, 0x19, 0x80));
}

TEST_F(I2cDevDriverTest, TwoEqualEntriesInARowAreOneWordTransferInWireOrder) {
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  // A 16-bit register reads its first (high) byte first: word data carries
  // the first byte on the wire in its low half.
  calls.words = {{0, 0x80C8}};
  calls.registers = {{0, 0xC8}, {1, 0x60}};
  uint8_t block[7] = {0x48, 0, 4, 0, 0, 1, 0};
  uint32_t returned = 0;
  ASSERT_TRUE(driver->Control(kIoctlRead, block, 7, &returned));
  EXPECT_EQ(returned, 7u);
  EXPECT_THAT(calls.calls,
              ElementsAre("7 I2C_SLAVE 0x48", "7 I2C_SMBUS read word-data 0x00 -> 0x80c8",
                          "7 I2C_SMBUS read byte-data 0x01 -> 0x60",
                          "7 I2C_SMBUS read byte-data 0x00 -> 0xc8"));
  EXPECT_THAT(block, ElementsAre(0x48, 0, 4, 0xC8, 0x80, 0x60, 0xC8));
  // A run of three is one word and one byte; the write keeps wire order too.
  calls.calls.clear();
  uint8_t write[9] = {0x48, 0, 3, 3, 3, 3, 0x4B, 0x00, 0x7F};
  ASSERT_TRUE(driver->Control(kIoctlWrite, write, 9, &returned));
  EXPECT_THAT(calls.calls,
              ElementsAre("7 I2C_SLAVE 0x48", "7 I2C_SMBUS write word-data 0x03 0x004b",
                          "7 I2C_SMBUS write byte-data 0x03 0x7f"));
  // An adapter without word transfers gets byte transfers.
  driver.reset();
  calls.functions = I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
  driver = OpenBus();
  uint8_t bytes[5] = {0x48, 0, 2, 1, 1};
  ASSERT_TRUE(driver->Control(kIoctlRead, bytes, 5, &returned));
  EXPECT_THAT(calls.calls,
              ElementsAre("7 I2C_SLAVE 0x48", "7 I2C_SMBUS read byte-data 0x01 -> 0x60",
                          "7 I2C_SMBUS read byte-data 0x01 -> 0x60"));
}

TEST_F(I2cDevDriverTest, AWriteBlockIsOneWriteByteDataPerEntry) {
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  uint8_t block[7] = {0x4C, 3, 2, 0x09, 0x0B, 0xA5, 0x5A};
  uint32_t returned = 0;
  ASSERT_TRUE(driver->Control(kIoctlWrite, block, 7, &returned));
  EXPECT_EQ(returned, 7u);
  EXPECT_THAT(calls.calls, ElementsAre("7 I2C_SLAVE 0x4c", "7 I2C_SMBUS write byte-data 0x09 0xa5",
                                       "7 I2C_SMBUS write byte-data 0x0b 0x5a"));
}

TEST_F(I2cDevDriverTest, TheNoRegisterCodesUseReceiveByteAndSendByte) {
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  uint8_t read[5] = {0x48, 0, 2, 0xFF, 0xFF};
  uint32_t returned = 0;
  ASSERT_TRUE(driver->Control(kIoctlReadNoRegister, read, 5, &returned));
  EXPECT_THAT(read, ElementsAre(0x48, 0, 2, 0x5A, 0x5B));
  uint8_t write[5] = {0x48, 0, 1, 0xFF, 0x33};
  ASSERT_TRUE(driver->Control(kIoctlWriteNoRegister, write, 5, &returned));
  EXPECT_EQ(returned, 5u);
  EXPECT_THAT(calls.calls, ElementsAre("7 I2C_SLAVE 0x48", "7 I2C_SMBUS read byte 0x00 -> 0x5a",
                                       "7 I2C_SMBUS read byte 0x00 -> 0x5b", "7 I2C_SLAVE 0x48",
                                       "7 I2C_SMBUS write byte 0x33"));
}

TEST_F(I2cDevDriverTest, RefusesMalformedBlocksBeforeTouchingTheBus) {
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  uint32_t returned = 9;
  uint8_t shortRead[4] = {0x48, 0, 2, 0};
  EXPECT_FALSE(driver->Control(kIoctlRead, shortRead, 4, &returned));
  EXPECT_EQ(returned, 0u);
  uint8_t shortWrite[6] = {0x48, 0, 2, 0, 1, 9};
  EXPECT_FALSE(driver->Control(kIoctlWrite, shortWrite, 6, &returned));
  uint8_t badAddress[4] = {0x80, 0, 1, 0};
  EXPECT_FALSE(driver->Control(kIoctlRead, badAddress, 4, &returned));
  uint8_t good[4] = {0x48, 0, 1, 0};
  EXPECT_FALSE(driver->Control(0x226404, good, 4, &returned));
  EXPECT_FALSE(driver->Control(kIoctlRead, nullptr, 4, &returned));
  EXPECT_FALSE(driver->Control(kIoctlRead, good, 2, &returned));
  EXPECT_TRUE(calls.calls.empty());
}

TEST_F(I2cDevDriverTest, AFailedSmbusCallFailsTheBlockAtOnce) {
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  calls.failAfter = 1;
  uint8_t block[6] = {0x48, 0, 3, 0, 1, 2};
  uint32_t returned = 9;
  EXPECT_FALSE(driver->Control(kIoctlRead, block, 6, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(calls.calls.size(), 3u);  // address, first read, the failing one; no third read
}

TEST_F(I2cDevDriverTest, NoRegisterCodesNeedTheByteFunctionsOfTheAdapter) {
  calls.functions = I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
  std::unique_ptr<I2cDevDriver> driver = OpenBus();
  ASSERT_NE(driver, nullptr);
  uint8_t block[4] = {0x48, 0, 1, 0xFF};
  uint32_t returned = 0;
  EXPECT_FALSE(driver->Control(kIoctlReadNoRegister, block, 4, &returned));
  EXPECT_TRUE(calls.calls.empty());
}

}  // namespace
}  // namespace dravik::smbus
