// OpenDevice on the USB link: board matching, vidPid learning, the firmware
// check and download, the .bi2 rule, re-enumeration polling, diagnostics.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "library_fixture.hpp"
#include "open_device.hpp"

namespace dravik::testing {
namespace {

namespace fs = std::filesystem;

// Which file a board class reads is shown by the downloads below.
TEST(FirmwareFileName, PathsStayBelow256Characters) {
  char name[kFirmwareNameBufferSize];
  ASSERT_TRUE(FirmwareFileName("", 0x0200, name));
  EXPECT_STREQ(name, "");
  const std::string longest(255, 'p');
  EXPECT_TRUE(FirmwareFileName(longest.c_str(), 0x0110, name));
  EXPECT_FALSE(FirmwareFileName((longest + "p").c_str(), 0x0110, name));
}

// Boards: "R" running the firmware or "B" bare, VID:PID, "@" bcdUSB (default
// 0200), "!" the number of opens that fail before one works.
struct BoardText {
  Bytes descriptor;
  int openFailures;
};

std::vector<BoardText> Boards(const std::string& text) {
  std::vector<BoardText> boards;
  std::istringstream in(text);
  for (std::string word; in >> word;) {
    const auto number = [&](char mark, unsigned long fallback) {
      const std::size_t at = word.find(mark);
      return at == std::string::npos ? fallback : std::stoul(word.substr(at + 1), nullptr, 16);
    };
    const auto vendor = static_cast<uint16_t>(std::stoul(word.substr(1, 4), nullptr, 16));
    const auto product = static_cast<uint16_t>(std::stoul(word.substr(6, 4), nullptr, 16));
    const auto bcd = static_cast<uint16_t>(number('@', 0x0200));
    boards.push_back(
        {BoardDescriptor(word[0] == 'R', vendor, product, bcd), static_cast<int>(number('!', 0))});
  }
  return boards;
}

using Requests = std::vector<std::pair<uint16_t, Bytes>>;

// A download to a board of this descriptor: its CPU held, the image with the
// board's identity at 0x0F08 in chunks of its class, the CPU let go.
Requests Download(Bytes image, const Bytes& descriptor) {
  const bool fullSpeed = descriptor[3] < 2;  // bcdUSB below 0200
  const uint16_t cpu = fullSpeed ? 0x7F92 : 0xE600;
  const std::size_t chunk = fullSpeed ? 512 : 4096;
  std::copy(descriptor.begin() + 8, descriptor.begin() + 12, image.begin() + 0x0F08);
  Requests expected = {{cpu, {1}}};
  for (std::size_t at = 0; at < image.size(); at += chunk) {
    expected.emplace_back(
        at, Bytes(image.begin() + static_cast<long>(at),
                  image.begin() + static_cast<long>(std::min(image.size(), at + chunk))));
  }
  expected.emplace_back(cpu, Bytes{0});
  return expected;
}

struct OpenCase {
  const char* boards;
  const char* wanted;  // VID:PID asked for, then what vidPid holds afterwards
  const char* calls;   // "" when not checked
  const char* error;   // "" opens; a leading "*": fails with the board left to the caller
  const char* sleeps = "";
  int imageSize = 0;        // bytes downloaded: from dravik.bi2 (6000), least.bix (4096) or
                            // dravik.bix (10000 bytes, the first 8192 of them)
  const char* after = "";   // the boards once their image started ("": as they were)
  int pollsBeforeBack = 0;  // searches after the download that find one board too many
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
    {"R0400:1234", "0000:0000 0400:1234", "", "*Error, CodeFileName is NULL", "", 0, "", 0, 1, ""},
    {"B0400:1234", "0400:1234 0400:1234",
     "Count, Open 0, LoadFirmware 0400 1234 6000, Count, Open 0", "", "1000", 6000, "R0400:1234"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "", "1000", 8192, "R0400:1234@0110"},
    {"R0400:3100", "0400:1100 0400:1100",
     "Count, Open 0, LoadFirmware 0400 3100 6000, Count, Open 0", "", "1000", 6000, "", 0, 1},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "* error opening firmware file", "", 0, "", 0, 0,
     "missing.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "*error reading firmware file", "", 0, "", 0, 0,
     "folder.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "*OpenDevice: Firmware path > 255 characters",
     "", 0, "", 0, 0, kTooLong.c_str()},
    // The shipped placeholder image is for the emulated board only; the message names the
    // file the board maker's image goes to.
    {"B0400:1234", "0000:0000 0400:1234", "",
     "*OpenDevice: Placeholder firmware, for the emulated board only: put the board maker's image "
     "at " KESTROVA_DATA_DIR "/bix/dravik.bi2",
     "", 0, "", 0, 0, KESTROVA_DATA_DIR "/bix/dravik.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "", "1000 500 500 500", 8192, "R0400:1234@0110",
     3},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "", "1000", 4096, "R0400:1234@0110", 0, 0,
     "least.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", "*LoadFirmware: Illegal code size", "", 0, "", 0,
     0, "short.bix"},
    {"B0400:1234@0110", "0000:0000 0400:1234", "", kNotBack, kPolls21, 8192, "", 1000},
    // The image did not start: the bare core is all there is on the bus.
    {"B0400:1234@0110", "0000:0000 0400:1234", "", kNotBack, kPolls21, 8192},
};

class OpenDeviceTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    folder = fs::temp_directory_path() / ("dravik-open-" + std::to_string(::getpid()));
    fs::create_directories(folder / "folder.bix");
  }
  void TearDown() override {
    fs::remove_all(folder);
    LibraryTest::TearDown();
  }

  Bytes WriteImage(const std::string& name, std::size_t size, uint8_t seed) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
      image[i] = static_cast<uint8_t>(seed + i * 7);
    }
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
    return image;
  }

  // The boards of the text in place of the fixture's.
  void PlaceBoards(const std::string& text, const std::string& after = "") {
    const std::vector<BoardText> placed = Boards(text);
    const std::vector<BoardText> started = Boards(after);
    present.assign(placed.size(), board);
    boards.boards.clear();
    for (std::size_t i = 0; i < placed.size(); ++i) {
      present[i].deviceDescriptor = placed[i].descriptor;
      present[i].openFailures = placed[i].openFailures;
      present[i].bootDescriptor = i < started.size() ? started[i].descriptor : Bytes{};
      boards.boards.push_back(&present[i]);
    }
  }

  // The 0xA0 writes a board got: address and data.
  static Requests FirmwareRequests(const usb::testing::FakeBoard& target) {
    Requests found;
    for (const auto& r : target.RequestsWith(usb::kIoctlControlTransfer)) {
      if (r.Header().bRequest == 0xA0) {
        found.emplace_back(r.Header().wValue, r.Data());
      }
    }
    return found;
  }

  std::vector<usb::testing::FakeBoard> present;
  fs::path folder;
};

TEST_F(OpenDeviceTest, OpensTheMatchingBoardAndLoadsItsImageWhenNeeded) {
  const Bytes bix = WriteImage("dravik.bix", 10000, 3);
  const Bytes bi2 = WriteImage("dravik.bi2", 6000, 9);
  const Bytes least = WriteImage("least.bix", 4096, 5);
  WriteImage("short.bix", 4095, 5);
  for (const OpenCase& c : kOpenCases) {
    SCOPED_TRACE(std::string(c.boards) + " asked " + c.wanted);
    sleeps.clear();
    calls.clear();
    PlaceBoards(c.boards, c.after);
    boards.pollsBeforeBack = c.pollsBeforeBack;
    const std::string wanted = c.wanted;
    uint16_t vidPid[2] = {static_cast<uint16_t>(std::stoul(wanted.substr(0, 4), nullptr, 16)),
                          static_cast<uint16_t>(std::stoul(wanted.substr(5, 4), nullptr, 16))};
    const std::string path = (folder / c.firmware).string();
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
    const Bytes& file = c.imageSize == 6000 ? bi2 : c.imageSize == 4096 ? least : bix;
    EXPECT_EQ(present.empty() ? Requests{} : FirmwareRequests(present[0]),
              c.imageSize == 0 ? Requests{}
                               : Download(Bytes(file.begin(), file.begin() + c.imageSize),
                                          Boards(c.boards)[0].descriptor));
    if (error.empty() || error[0] == '*') {
      EXPECT_GT(handle, 0);
      EXPECT_FALSE(destroyed);
      EXPECT_EQ(CloseDevice(handle), 1);
    } else {
      EXPECT_EQ(handle, -1);
    }
    EXPECT_TRUE(destroyed);
  }
}

TEST_F(OpenDeviceTest, DiagnosticLinesOnlyWithDravikDebug) {
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = -1;
  ::unsetenv("DRAVIK_DEBUG");
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 1);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  // On standard error: never in a tool's data on standard output.
  ::setenv("DRAVIK_DEBUG", "1", 1);
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  ASSERT_EQ(OpenDevice(LINK_USB, "dravik", vidPid, 0, nullptr, &handle), 1);
  const std::string error = ::testing::internal::GetCapturedStderr();
  const std::string output = ::testing::internal::GetCapturedStdout();
  ::unsetenv("DRAVIK_DEBUG");
  EXPECT_EQ(error, "Found cyusb device count = 1\nFound cyusb.sys device VID=400, PID=1234\n");
  EXPECT_EQ(output, "");
}

}  // namespace
}  // namespace dravik::testing
