// The i2c-dev driver where the kernel rig cannot take it: adapters without
// word or byte functions, receive/send-byte blocks, failed calls and the
// blocks it refuses. Byte and word transfers, a chip that does not answer and
// forced addresses are the rig's, on the kernel's i2c-stub.
#include "smbus/i2cdev_driver.hpp"

#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library_fixture.hpp"

namespace dravik::smbus {
namespace {

constexpr unsigned long kStubFunctions = 0x0c7f0000;  // what i2c-stub offers
constexpr unsigned long kByteDataOnly =
    I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_BYTE_DATA;
const char* const kSizes[] = {"quick", "byte", "byte-data", "word"};

// An adapter as the driver sees it: I2C_FUNCS answers `functions`; every
// other request is written to `calls` ("SLAVE 48, read byte-data 01, write
// byte 33 33": command, then data), the one numbered `failAt` fails, and
// reads answer 0xA0 plus their number.
class FakeI2cDev : public SystemCalls {
 public:
  unsigned long functions = kStubFunctions;
  int openResult = 7;
  int failAt = -1;
  int closed = 0;
  std::string calls;

  int Open(const char*, int) override { return openResult; }
  int Close(int) override {
    ++closed;
    return 0;
  }
  int Ioctl(int, unsigned long request, unsigned long arg) override {
    if (request == I2C_FUNCS) {
      *reinterpret_cast<unsigned long*>(arg) = functions;
      return 0;
    }
    char line[40];
    auto* r = reinterpret_cast<i2c_smbus_ioctl_data*>(arg);  // I2C_SMBUS only
    if (request != I2C_SMBUS) {
      std::snprintf(line, sizeof line, "%s %02lx", request == I2C_SLAVE ? "SLAVE" : "FORCE", arg);
    } else if (r->read_write == I2C_SMBUS_READ) {
      std::snprintf(line, sizeof line, "read %s %02x", kSizes[r->size], r->command);
      r->data->word = static_cast<uint16_t>(0xB0A0 + count_);
    } else {
      std::snprintf(line, sizeof line, "write %s %02x %x", kSizes[r->size], r->command,
                    r->data->word);
    }
    calls += (calls.empty() ? "" : ", ") + std::string(line);
    return count_++ == failAt ? -1 : 0;
  }

 private:
  int count_ = 0;
};

TEST(I2cDevDriverTest, OpensOnlyAdaptersWithByteDataAndClosesWhatItOpened) {
  FakeI2cDev i2c;
  EXPECT_NE(I2cDevDriver::Open("/dev/i2c-0", i2c), nullptr);
  i2c.functions = I2C_FUNC_I2C | I2C_FUNC_SMBUS_READ_BYTE_DATA;  // no write-byte-data
  EXPECT_EQ(I2cDevDriver::Open("/dev/i2c-0", i2c), nullptr);
  EXPECT_EQ(i2c.closed, 2);
  i2c.openResult = -1;
  EXPECT_EQ(I2cDevDriver::Open("/dev/i2c-9", i2c), nullptr);
  EXPECT_EQ(I2cDevDriver::Open(nullptr, i2c), nullptr);
}

using dravik::testing::BytesOf;

TEST(I2cDevDriverTest, BlocksBecomeTheirSmbusCallsOrAreRefused) {
  const struct {
    const char* name;
    uint32_t code;
    const char* block;
    const char* calls;
    const char* after;  // the block afterwards; "": refused or failed
    unsigned long functions = kStubFunctions;
    int failAt = -1;
  } cases[] = {
      {"WithoutWordFunctionsEqualEntriesAreBytes", kIoctlRead, "48 0 2 1 1",
       "SLAVE 48, read byte-data 01, read byte-data 01", "48 0 2 A1 A2", kByteDataOnly},
      {"NoRegisterReadReceivesBytes", kIoctlReadNoRegister, "48 0 2 FF FF",
       "SLAVE 48, read byte 00, read byte 00", "48 0 2 A1 A2"},
      {"NoRegisterWriteSendsBytes", kIoctlWriteNoRegister, "48 0 1 FF 33",
       "SLAVE 48, write byte 33 33", "48 0 1 FF 33"},
      {"NoRegisterCodesNeedTheByteFunctions", kIoctlReadNoRegister, "48 0 1 FF", "", "",
       kByteDataOnly},
      {"AClaimedAddress", kIoctlWrite, "48 0 1 0 9", "SLAVE 48", "", kStubFunctions, 0},
      {"AFailedCallEndsTheBlock", kIoctlRead, "48 0 3 0 1 2",
       "SLAVE 48, read byte-data 00, read byte-data 01", "", kStubFunctions, 2},
      {"ReadBlockShortOfItsCount", kIoctlRead, "48 0 2 0", "", ""},
      {"WriteBlockShortOfItsData", kIoctlWrite, "48 0 2 0 1 9", "", ""},
      {"AddressAbove7F", kIoctlRead, "80 0 1 0", "", ""},
      {"UnknownCode", 0x226404, "48 0 1 0", "", ""},
      {"NoHeader", kIoctlRead, "48 0", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeI2cDev i2c;
    i2c.functions = c.functions;
    i2c.failAt = c.failAt;
    std::unique_ptr<I2cDevDriver> driver = I2cDevDriver::Open("/dev/i2c-0", i2c);
    ASSERT_NE(driver, nullptr);
    std::vector<uint8_t> block = BytesOf(c.block);
    uint32_t returned = 99;
    const bool ok =
        driver->Control(c.code, block.data(), static_cast<uint32_t>(block.size()), &returned);
    EXPECT_EQ(ok, *c.after != '\0');
    EXPECT_EQ(returned, ok ? block.size() : 0u);
    EXPECT_EQ(i2c.calls, c.calls);
    if (ok) {
      EXPECT_EQ(block, BytesOf(c.after));
    }
  }
}

}  // namespace
}  // namespace dravik::smbus
