// OpenDevice on the USB link: board matching, vidPid learning, the firmware
// check and download, the .bi2 rule, re-enumeration polling, diagnostics. The
// boards are the emulator's (a faithful board: it boots the image downloaded
// and re-enumerates with the identity at 0x0F08).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "emulator/emulator.hpp"
#include "library_fixture.hpp"
#include "open_device.hpp"

namespace dravik::testing {
namespace {

// Which file a board class reads is shown by the downloads below.
TEST(FirmwareFileName, PathsStayBelow256Characters) {
  char name[kFirmwareNameBufferSize];
  ASSERT_TRUE(FirmwareFileName("", 0x0200, name));
  EXPECT_STREQ(name, "");
  const std::string longest(255, 'p');
  EXPECT_TRUE(FirmwareFileName(longest.c_str(), 0x0110, name));
  EXPECT_FALSE(FirmwareFileName((longest + "p").c_str(), 0x0110, name));
}

namespace emu = kestrova::emulator;

// The emulated boards of a row: "R" running the firmware or "B" bare, VID:PID,
// "@0110" a full-speed board (else high-speed), "!" the number of opens that
// fail before one works. Not taken for the emulated board, so a placeholder
// image is refused as on a real one.
class Boards : public usb::DriverClass {
 public:
  explicit Boards(const std::string& text) {
    std::istringstream in(text);
    for (std::string word; in >> word;) {
      const auto hex = [&](std::size_t at) {
        return static_cast<uint16_t>(std::stoul(word.substr(at, 4), nullptr, 16));
      };
      identities.push_back({hex(1), hex(6)});
      const bool full = word.find("@0110") != std::string::npos;
      emu::Board& board = emulator.AddBoard(
          full ? emu::BoardClass::kFullSpeed : emu::BoardClass::kHighSpeed, identities.back());
      if (word[0] == 'R') {
        board.BootFrom(ImageOf(hex(1), hex(6)));
      }
      const std::size_t mark = word.find('!');
      openFailures.push_back(mark == std::string::npos ? 0 : std::stoi(word.substr(mark + 1)));
    }
  }
  int Count() override { return emulator.UsbClass().Count(); }
  std::unique_ptr<usb::Driver> Open(int index) override {
    return openFailures.at(static_cast<std::size_t>(index))-- > 0 ? nullptr
                                                                  : emulator.UsbClass().Open(index);
  }

  emu::Emulator emulator;
  std::vector<emu::BoardIdentity> identities;
  std::vector<int> openFailures;
};

struct OpenCase {
  const char* boards;
  const char* wanted;  // VID:PID asked for, then what vidPid holds afterwards
  const char* calls;   // "" when not checked
  const char* error;   // "" opens; a leading "*": fails with the board left to the caller
  const char* sleeps = "";
  int imageSize = 0;      // bytes downloaded: from dravik.bi2 (6000), least.bix (4096) or
                          // dravik.bix (10000 bytes, the first 8192 of them)
  uint32_t searches = 0;  // searches after the boot that do not find the board yet
  uint8_t force = 0;
  const char* firmware = "dravik.bix";  // "": none
};

constexpr const char* kPolls21 =
    "1000 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500 500";
constexpr const char* kNotFound = "OpenDevice: Can't find board with this USB VID,PID";
constexpr const char* kNotBack = "*OpenDevice: Board did not come back after firmware download";
const std::string kTooLong(256, 'f');  // with the folder, a path of more than 255 characters

const OpenCase kOpenCases[] = {
    {"R04B4:8613 R0400:1234", "0000:0000 04B4:8613", "Count, Open 0", ""},
    {"R04B4:8613 R0400:3100 R0400:1100", "0400:1100 0400:1100", "Count, Open 0, Open 1", ""},
    {"", "0000:0000 0000:0000", "Count", kNotFound},
    {"R0401:3100", "0401:1100 0401:1100", "", kNotFound},
    // A zero is a wildcard; a product 0x11xx of vendor 0x0400 is 0x31xx once renumbered.
    {"R0400:3100", "0400:0000 0400:0000", "Count, Open 0", ""},
    {"R0400:3100", "0000:3100 0000:3100", "Count, Open 0", ""},
    {"R0400:31FF", "0400:11FF 0400:11FF", "Count, Open 0", ""},
    {"R0400:3100", "0400:1101 0400:1101", "", kNotFound},
    {"R0400:3200", "0400:1200 0400:1200", "", kNotFound},
    {"R0400:3100", "0401:1100 0401:1100", "", kNotFound},
    {"R0400:3100", "0000:1100 0000:1100", "", kNotFound},
    // A board that does not open is reset and tried once more, then passed over.
    {"R0400:1234!1", "0000:0000 0400:1234", "Count, Open 0, Reset, Open 0", ""},
    {"R0400:1111!2 R0400:2222", "0000:0000 0400:2222", "Count, Open 0, Reset, Open 0, Open 1", ""},
    {"R0400:1234", "0000:0000 0400:1234", "", "*Error, CodeFileName is NULL", "", 0, 0, 1, ""},
    {"B0400:1234", "0400:1234 0400:1234", "Count, Open 0, Count, Open 0", "", "1000", 6000},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "", "1000", 8192},
    {"R0400:3100", "0400:1100 0400:1100", "Count, Open 0, Count, Open 0", "", "1000", 6000, 0, 1},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "* error opening firmware file", "", 0, 0, 0,
     "missing.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "*error reading firmware file", "", 0, 0, 0,
     "folder.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "*OpenDevice: Firmware path > 255 characters",
     "", 0, 0, 0, kTooLong.c_str()},
    // The shipped placeholder image is for the emulated board only; the message names the
    // file the board maker's image goes to.
    {"B0400:1234", "0000:0000 0400:1234", "",
     "*OpenDevice: Placeholder firmware, for the emulated board only: put the board maker's image "
     "at " KESTROVA_DATA_DIR "/bix/dravik.bi2",
     "", 0, 0, 0, KESTROVA_DATA_DIR "/bix/dravik.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "", "1000 500 500 500", 8192, 3},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "", "1000", 4096, 0, 0, "least.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "*LoadFirmware: Illegal code size", "", 0, 0, 0,
     "short.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", kNotBack, kPolls21, 8192, 1000},
};

class OpenDeviceTest : public LibraryTest {
 protected:
  Bytes WriteImage(const std::string& name, std::size_t size, uint8_t seed) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
      image[i] = static_cast<uint8_t>(seed + i * 7);
    }
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
    return image;
  }
};

TEST_F(OpenDeviceTest, OpensTheMatchingBoardAndLoadsItsImageWhenNeeded) {
  std::filesystem::create_directories(folder / "folder.bix");
  const Bytes bix = WriteImage("dravik.bix", 10000, 3);
  const Bytes bi2 = WriteImage("dravik.bi2", 6000, 9);
  const Bytes least = WriteImage("least.bix", 4096, 5);
  WriteImage("short.bix", 4095, 5);
  for (const OpenCase& c : kOpenCases) {
    SCOPED_TRACE(std::string(c.boards) + " asked " + c.wanted);
    sleeps.clear();
    calls.clear();
    Boards present(c.boards);
    driverClass = &present;
    emu::Board* first = present.identities.empty() ? nullptr : &present.emulator.BoardAt(0);
    const uint32_t boots = first != nullptr ? first->Boots() : 0;
    if (first != nullptr) {
      first->SetReEnumerationSearches(c.searches);
    }
    const std::string wanted = c.wanted;
    uint16_t vidPid[2] = {static_cast<uint16_t>(std::stoul(wanted.substr(0, 4), nullptr, 16)),
                          static_cast<uint16_t>(std::stoul(wanted.substr(5, 4), nullptr, 16))};
    // An absolute firmware path stands as it is.
    const std::string path = std::filesystem::path(folder.path()) / c.firmware;
    DeviceHandle handle = 99;
    const bool opened = OpenDevice(LINK_USB, "dravik", vidPid, c.force,
                                   *c.firmware == '\0' ? nullptr : path.c_str(), &handle) == 1;
    const std::string error = c.error;
    EXPECT_EQ(opened, error.empty()) << LastError();
    if (!error.empty()) {
      EXPECT_EQ(LastError(), error.substr(error[0] == '*' ? 1 : 0));
    }
    char learned[16];
    std::snprintf(learned, sizeof learned, "%04X:%04X", vidPid[0], vidPid[1]);
    EXPECT_EQ(learned, wanted.substr(10));
    if (*c.calls != '\0') {
      EXPECT_EQ(calls, c.calls);
    }
    EXPECT_EQ(sleeps, c.sleeps);
    if (first != nullptr) {
      // The image of the file with the board's identity, in chunks of its class.
      const Bytes& file = c.imageSize == 6000 ? bi2 : c.imageSize == 4096 ? least : bix;
      const uint32_t chunk = emu::TraitsOf(first->Class()).downloadChunk;
      EXPECT_EQ(first->Boots(), boots + (c.imageSize > 0 ? 1 : 0));
      EXPECT_EQ(first->DownloadRequests(), (c.imageSize + chunk - 1) / chunk);
      if (c.imageSize > 0) {
        EXPECT_EQ(Hex(first->BootedImage()),
                  Hex(ImageOf(present.identities[0].vendorId, present.identities[0].productId,
                              Bytes(file.begin(), file.begin() + c.imageSize))));
      }
    }
    if (error.empty() || error[0] == '*') {
      EXPECT_GT(handle, 0);
      EXPECT_FALSE(destroyed);
      EXPECT_EQ(CloseDevice(handle), 1);
    } else {
      EXPECT_EQ(handle, -1);
    }
    EXPECT_TRUE(destroyed);
  }
  driverClass = &board;
}

TEST_F(OpenDeviceTest, DiagnosticLinesOnlyWithDravikDebug) {
  DeviceHandle handle = -1;
  ::unsetenv("DRAVIK_DEBUG");
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(OpenAny(&handle), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  // On standard error: never in a tool's data on standard output.
  ::setenv("DRAVIK_DEBUG", "1", 1);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(OpenAny(&handle), 1);
  const std::string error = ::testing::internal::GetCapturedStderr();
  const std::string output = ::testing::internal::GetCapturedStdout();
  ::unsetenv("DRAVIK_DEBUG");
  EXPECT_EQ(error, "Found cyusb device count = 1\nFound cyusb.sys device VID=400, PID=1234\n");
  EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace dravik::testing
