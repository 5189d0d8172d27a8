// The i2c-dev driver: request blocks as SMBus system calls, one line each,
// for what the kernel rig's i2c-stub cannot show.
#include "smbus/i2cdev_driver.hpp"

#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace dravik::smbus {
namespace {

using ::testing::ElementsAre;

constexpr unsigned long kStubFunctions = 0x0c7f0000;  // what i2c-stub offers
constexpr unsigned long kByteDataOnly =
    I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;

// Records every system call as one line of text and plays a chip's registers
// behind the SMBus calls: bytes, words, and a receive-byte counter.
class RecordingSystemCalls : public SystemCalls {
 public:
  std::vector<std::string> calls;
  unsigned long functions = kStubFunctions;
  bool openFails = false;
  int failAt = -1;  // the SMBus call with this index fails
  std::map<uint8_t, uint8_t> registers = {{0, 0xC8}, {1, 0x60}};
  std::map<uint8_t, uint16_t> words = {{0, 0x80C8}};
  uint8_t nextReceived = 0x5A;

  int Open(const char* path, int flags) override {
    calls.push_back(std::string("open ") + path + ((flags & O_RDWR) ? " rdwr" : ""));
    return openFails ? -1 : 7;
  }
  int Close(int fd) override {
    calls.push_back("close " + std::to_string(fd));
    return 0;
  }
  int Ioctl(int, unsigned long request, unsigned long arg) override {
    char line[96];
    if (request == I2C_FUNCS) {
      *reinterpret_cast<unsigned long*>(arg) = functions;
      std::snprintf(line, sizeof line, "FUNCS");
    } else if (request == I2C_SLAVE || request == I2C_SLAVE_FORCE) {
      std::snprintf(line, sizeof line, "%s %02lx", request == I2C_SLAVE ? "SLAVE" : "SLAVE_FORCE",
                    arg);
    } else {
      auto* r = reinterpret_cast<i2c_smbus_ioctl_data*>(arg);
      const bool read = r->read_write == I2C_SMBUS_READ;
      if (smbusCalls_++ == failAt) {
        calls.push_back("fails");
        return -1;
      }
      if (r->size == I2C_SMBUS_WORD_DATA) {
        if (read) {
          r->data->word = words[r->command];
        } else {
          words[r->command] = r->data->word;
        }
        std::snprintf(line, sizeof line, "%s word %02x %04x", read ? "read" : "write", r->command,
                      r->data->word);
      } else if (r->size == I2C_SMBUS_BYTE) {
        if (read) {
          r->data->byte = nextReceived++;
        }
        std::snprintf(line, sizeof line, "%s byte %02x", read ? "receive" : "send",
                      read ? r->data->byte : r->command);
      } else {
        if (read) {
          r->data->byte = registers[r->command];
        } else {
          registers[r->command] = r->data->byte;
        }
        std::snprintf(line, sizeof line, "%s byte-data %02x %02x", read ? "read" : "write",
                      r->command, r->data->byte);
      }
    }
    calls.push_back(line);
    return 0;
  }

 private:
  int smbusCalls_ = 0;
};

TEST(I2cDevDriverTest, OpensReadWriteAndNeedsTheByteDataFunctions) {
  RecordingSystemCalls calls;
  std::unique_ptr<I2cDevDriver> driver = I2cDevDriver::Open("/dev/i2c-0", calls);
  ASSERT_NE(driver, nullptr);
  driver.reset();
  EXPECT_THAT(calls.calls, ElementsAre("open /dev/i2c-0 rdwr", "FUNCS", "close 7"));
  calls.functions = I2C_FUNC_I2C | I2C_FUNC_SMBUS_READ_BYTE_DATA;  // no write-byte-data
  EXPECT_EQ(I2cDevDriver::Open("/dev/i2c-0", calls), nullptr);
  EXPECT_EQ(calls.calls.back(), "close 7");
  calls.openFails = true;
  EXPECT_EQ(I2cDevDriver::Open("/dev/i2c-9", calls), nullptr);
  EXPECT_EQ(I2cDevDriver::Open(nullptr, calls), nullptr);
}

// Bytes in hexadecimal, blank-separated.
std::vector<uint8_t> Bytes(const std::string& text) {
  std::istringstream in(text);
  std::vector<uint8_t> bytes;
  for (std::string word; in >> word;) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
  }
  return bytes;
}

std::vector<std::string> Calls(const std::string& text) {
  std::vector<std::string> calls;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t bar = std::min(text.find(" / ", at), text.size());
    calls.push_back(text.substr(at, bar - at));
    at = bar + 3;
  }
  return calls;
}

struct BlockCase {
  const char* name;
  uint32_t code;
  const char* block;
  const char* calls;  // " / " between them
  const char* after;  // the block afterwards; "": refused, nothing called or failed
  unsigned long functions = kStubFunctions;
  int failAt = -1;
  bool force = false;
};

const BlockCase kBlocks[] = {
    {"EqualEntriesInARowAreOneWord", kIoctlRead, "48 0 4 0 0 1 0",
     "SLAVE 48 / read word 00 80c8 / read byte-data 01 60 / read byte-data 00 c8",
     "48 0 4 C8 80 60 C8"},
    {"WithoutWordFunctionsEveryEntryIsAByte", kIoctlRead, "48 0 2 1 1",
     "SLAVE 48 / read byte-data 01 60 / read byte-data 01 60", "48 0 2 60 60", kByteDataOnly},
    {"NoRegisterReadReceivesBytes", kIoctlReadNoRegister, "48 0 2 FF FF",
     "SLAVE 48 / receive byte 5a / receive byte 5b", "48 0 2 5A 5B"},
    {"NoRegisterWriteSendsBytes", kIoctlWriteNoRegister, "48 0 1 FF 33", "SLAVE 48 / send byte 33",
     "48 0 1 FF 33"},
    {"NoRegisterCodesNeedTheByteFunctions", kIoctlReadNoRegister, "48 0 1 FF", "", "",
     kByteDataOnly},
    {"AFailedCallEndsTheBlock", kIoctlRead, "48 0 3 0 1 2",
     "SLAVE 48 / read byte-data 00 c8 / fails", "", kStubFunctions, 1},
    {"ReadBlockShortOfItsCount", kIoctlRead, "48 0 2 0", "", ""},
    {"WriteBlockShortOfItsData", kIoctlWrite, "48 0 2 0 1 9", "", ""},
    {"AddressAbove7F", kIoctlRead, "80 0 1 0", "", ""},
    {"UnknownCode", 0x226404, "48 0 1 0", "", ""},
    {"NoHeader", kIoctlRead, "48 0", "", ""},
    {"AForcedDriverTakesClaimedAddresses", kIoctlRead, "18 0 1 1",
     "SLAVE_FORCE 18 / read byte-data 01 60", "18 0 1 60", kStubFunctions, -1, true},
};

class BlockTest : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockTest, BecomesItsSystemCalls) {
  const BlockCase& c = GetParam();
  RecordingSystemCalls calls;
  calls.functions = c.functions;
  calls.failAt = c.failAt;
  std::unique_ptr<I2cDevDriver> driver = I2cDevDriver::Open("/dev/i2c-0", calls, c.force);
  ASSERT_NE(driver, nullptr);
  calls.calls.clear();
  std::vector<uint8_t> block = Bytes(c.block);
  uint32_t returned = 99;
  const bool ok =
      driver->Control(c.code, block.data(), static_cast<uint32_t>(block.size()), &returned);
  EXPECT_EQ(ok, *c.after != '\0');
  EXPECT_EQ(returned, ok ? block.size() : 0u);
  EXPECT_EQ(calls.calls, Calls(c.calls));
  if (ok) {
    EXPECT_EQ(block, Bytes(c.after));
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, BlockTest, ::testing::ValuesIn(kBlocks),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dravik::smbus
