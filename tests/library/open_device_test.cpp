// OpenDevice on the USB link: board matching, vidPid learning, the firmware
// check and download, the .bi2 rule, re-enumeration polling, diagnostics.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "library_fixture.hpp"
#include "open_device.hpp"

namespace dravik::testing {
namespace {

namespace fs = std::filesystem;

class OpenDeviceTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    folder = fs::temp_directory_path() /
             ("dravik-open-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder);
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
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(size));
    return image;
  }

  bool Open(uint16_t vendor, uint16_t product, uint8_t force, const char* path) {
    vidPid[0] = vendor;
    vidPid[1] = product;
    return OpenDevice(LINK_USB, "dravik", vidPid, force, path, &handle) == 1;
  }

  fs::path folder;
  uint16_t vidPid[2] = {0, 0};
  DeviceHandle handle = 99;
};

TEST(MatchesVidPid, WildcardsExactAndRenumberedProducts) {
  usb::DeviceDescriptor board;
  board.idVendor = 0x0400;
  board.idProduct = 0x3100;
  EXPECT_TRUE(MatchesVidPid(0, 0, board));
  EXPECT_TRUE(MatchesVidPid(0x0400, 0, board));
  EXPECT_TRUE(MatchesVidPid(0, 0x3100, board));
  EXPECT_TRUE(MatchesVidPid(0x0400, 0x3100, board));
  EXPECT_TRUE(MatchesVidPid(0x0400, 0x1100, board));  // 0x1100 + 0x2000
  EXPECT_FALSE(MatchesVidPid(0x0400, 0x1101, board));
  EXPECT_FALSE(MatchesVidPid(0x0400, 0x1200, board));
  EXPECT_FALSE(MatchesVidPid(0x0401, 0x1100, board));
  EXPECT_FALSE(MatchesVidPid(0, 0x1100, board));  // only with vendor 0x0400 wanted
  board.idVendor = 0x0401;
  EXPECT_FALSE(MatchesVidPid(0x0401, 0x1100, board));
  board.idVendor = 0x0400;
  board.idProduct = 0x11FF + 0x2000;
  EXPECT_TRUE(MatchesVidPid(0x0400, 0x11FF, board));
}

TEST(FirmwareFileName, Fx2BoardsReadTheBi2File) {
  char name[kFirmwareNameBufferSize];
  ASSERT_TRUE(FirmwareFileName("/x/bix/dravik.bix", 0x0200, name));
  EXPECT_STREQ(name, "/x/bix/dravik.bi2");
  ASSERT_TRUE(FirmwareFileName("/x/bix/dravik.bix", 0x0110, name));
  EXPECT_STREQ(name, "/x/bix/dravik.bix");
  ASSERT_TRUE(FirmwareFileName("", 0x0200, name));
  EXPECT_STREQ(name, "");
  const std::string longest(255, 'p');
  EXPECT_TRUE(FirmwareFileName(longest.c_str(), 0x0110, name));
  EXPECT_FALSE(FirmwareFileName((longest + "p").c_str(), 0x0110, name));
}

TEST_F(OpenDeviceTest, ZeroVidPidLearnsTheFirstBoard) {
  state->boards = {RunningBoard(0x04B4, 0x8613), RunningBoard(0x0400, 0x1234)};
  ASSERT_TRUE(Open(0, 0, 0, nullptr)) << LastError();
  EXPECT_EQ(vidPid[0], 0x04B4);
  EXPECT_EQ(vidPid[1], 0x8613);
  EXPECT_GT(handle, 0);
  EXPECT_EQ(state->calls, (std::vector<std::string>{"Count", "Open 0"}));
}

TEST_F(OpenDeviceTest, FirstMatchingBoardWins) {
  state->boards = {RunningBoard(0x04B4, 0x8613), RunningBoard(0x0400, 0x3100),
                   RunningBoard(0x0400, 0x1100)};
  ASSERT_TRUE(Open(0x0400, 0x1100, 0, nullptr)) << LastError();
  EXPECT_EQ(state->calls, (std::vector<std::string>{"Count", "Open 0", "Open 1"}));
  EXPECT_EQ(vidPid[1], 0x1100);  // the wanted ID is not overwritten
}

TEST_F(OpenDeviceTest, NoBoardStoresMinusOneAndFreesTheDevice) {
  EXPECT_FALSE(Open(0, 0, 0, nullptr));
  EXPECT_EQ(LastError(), "OpenDevice: Can't find board with this USB VID,PID");
  EXPECT_EQ(handle, -1);
  EXPECT_TRUE(state->destroyed);
}

TEST_F(OpenDeviceTest, NoMatchingBoardStoresMinusOne) {
  state->boards = {RunningBoard(0x0401, 0x3100)};
  EXPECT_FALSE(Open(0x0401, 0x1100, 0, nullptr));
  EXPECT_EQ(LastError(), "OpenDevice: Can't find board with this USB VID,PID");
  EXPECT_EQ(handle, -1);
  EXPECT_TRUE(state->destroyed);
}

TEST_F(OpenDeviceTest, BoardThatDoesNotOpenIsResetAndRetriedOnce) {
  state->boards = {RunningBoard(0x0400, 0x1234)};
  state->boards[0].openFailures = 1;
  ASSERT_TRUE(Open(0, 0, 0, nullptr)) << LastError();
  EXPECT_EQ(state->calls, (std::vector<std::string>{"Count", "Open 0", "Reset", "Open 0"}));

  state->calls.clear();
  state->boards = {RunningBoard(0x0400, 0x1111), RunningBoard(0x0400, 0x2222)};
  state->boards[0].openFailures = 2;
  ASSERT_TRUE(Open(0, 0, 0, nullptr)) << LastError();
  EXPECT_EQ(state->calls,
            (std::vector<std::string>{"Count", "Open 0", "Reset", "Open 0", "Open 1"}));
  EXPECT_EQ(vidPid[1], 0x2222);
}

TEST_F(OpenDeviceTest, RunningFirmwareIsNotDownloadedAgain) {
  state->boards = {RunningBoard(0x0400, 0x1234)};
  ASSERT_TRUE(Open(0, 0, 0, nullptr)) << LastError();
  EXPECT_TRUE(state->images.empty());
  EXPECT_TRUE(sleeps.empty());
}

TEST_F(OpenDeviceTest, ForcedDownloadWithoutPathFailsAndKeepsTheHandle) {
  state->boards = {RunningBoard(0x0400, 0x1234)};
  EXPECT_FALSE(Open(0, 0, 1, nullptr));
  EXPECT_EQ(LastError(), "Error, CodeFileName is NULL");
  EXPECT_GT(handle, 0);
  EXPECT_FALSE(state->destroyed);
  EXPECT_EQ(CloseDevice(handle), 1);
  EXPECT_TRUE(state->destroyed);
}

TEST_F(OpenDeviceTest, BlankFx2BoardGetsTheBi2Image) {
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0200)};
  state->boardsAfterDownload = {RunningBoard(0x0400, 0x1234, 0x0200)};
  WriteImage("dravik.bix", 4096, 1);
  const Bytes image = WriteImage("dravik.bi2", 6000, 9);
  const std::string path = (folder / "dravik.bix").string();
  ASSERT_TRUE(Open(0x0400, 0x1234, 0, path.c_str())) << LastError();
  ASSERT_EQ(state->images.size(), 1u);
  EXPECT_EQ(state->images[0], image);
  EXPECT_EQ(state->calls,
            (std::vector<std::string>{"Count", "Open 0", "LoadFirmware 0400 1234 6000", "Count",
                                      "Open 0"}));
  EXPECT_EQ(sleeps, (std::vector<int>{1000}));
}

TEST_F(OpenDeviceTest, FullSpeedBoardReadsTheBixFileAndAtMost8192Bytes) {
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0110)};
  state->boardsAfterDownload = {RunningBoard(0x0400, 0x1234, 0x0110)};
  const Bytes image = WriteImage("dravik.bix", 10000, 3);
  const std::string path = (folder / "dravik.bix").string();
  ASSERT_TRUE(Open(0, 0, 0, path.c_str())) << LastError();
  ASSERT_EQ(state->images.size(), 1u);
  EXPECT_EQ(state->images[0], Bytes(image.begin(), image.begin() + 8192));
}

TEST_F(OpenDeviceTest, ForcedDownloadOnRunningBoard) {
  state->boards = {RunningBoard(0x0400, 0x3100, 0x0200)};
  WriteImage("x.bi2", 4096, 0);
  const std::string path = (folder / "x.bix").string();
  ASSERT_TRUE(Open(0x0400, 0x1100, 1, path.c_str())) << LastError();
  EXPECT_EQ(state->calls[2], "LoadFirmware 0400 3100 4096");  // the board's own identity
}

TEST_F(OpenDeviceTest, FirmwareFileErrors) {
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0110)};
  const std::string missing = (folder / "missing.bix").string();
  EXPECT_FALSE(Open(0, 0, 0, missing.c_str()));
  EXPECT_EQ(LastError(), " error opening firmware file");
  EXPECT_GT(handle, 0);
  EXPECT_EQ(CloseDevice(handle), 1);

  fs::create_directories(folder / "dir.bix");
  const std::string directory = (folder / "dir.bix").string();
  EXPECT_FALSE(Open(0, 0, 0, directory.c_str()));
  EXPECT_EQ(LastError(), "error reading firmware file");

  const std::string tooLong = "/" + std::string(255, 'f');
  EXPECT_FALSE(Open(0, 0, 0, tooLong.c_str()));
  EXPECT_EQ(LastError(), "OpenDevice: Firmware path > 255 characters");
  const std::string longest = "/" + std::string(254, 'f');
  EXPECT_FALSE(Open(0, 0, 0, longest.c_str()));
  EXPECT_EQ(LastError(), " error opening firmware file");
  EXPECT_TRUE(state->images.empty());
}

TEST_F(OpenDeviceTest, FailedDownloadKeepsTheDeviceMessage) {
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0110)};
  state->loadFirmwareResult = false;
  WriteImage("dravik.bix", 4096, 0);
  const std::string path = (folder / "dravik.bix").string();
  EXPECT_FALSE(Open(0, 0, 0, path.c_str()));
  EXPECT_EQ(LastError(), "OpenUSB: Code download failed");
  EXPECT_TRUE(sleeps.empty());
}

TEST_F(OpenDeviceTest, ReenumerationIsPolledEvery500Ms) {
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0110)};
  state->boardsAfterDownload = {RunningBoard(0x0400, 0x1234, 0x0110)};
  state->pollsBeforeBack = 3;
  WriteImage("dravik.bix", 4096, 0);
  const std::string path = (folder / "dravik.bix").string();
  ASSERT_TRUE(Open(0, 0, 0, path.c_str())) << LastError();
  EXPECT_EQ(sleeps, (std::vector<int>{1000, 500, 500, 500}));
}

TEST_F(OpenDeviceTest, BoardThatNeverComesBackFailsAfter21Polls) {
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0110)};
  state->pollsBeforeBack = 1000;
  WriteImage("dravik.bix", 4096, 0);
  const std::string path = (folder / "dravik.bix").string();
  EXPECT_FALSE(Open(0, 0, 0, path.c_str()));
  EXPECT_EQ(LastError(), "OpenDevice: Board did not come back after firmware download");
  std::vector<int> expected(22, 500);
  expected[0] = 1000;
  EXPECT_EQ(sleeps, expected);
  EXPECT_EQ(state->pollsBeforeBack, 1000 - 21);
  EXPECT_GT(handle, 0);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_F(OpenDeviceTest, BoardStillBareAfterTheDownloadIsNotTakenForTheProgrammedOne) {
  // The image did not start: the bare core is all there is on the bus.
  state->boards = {BlankBoard(0x0400, 0x1234, 0x0110)};
  WriteImage("dravik.bix", 4096, 0);
  const std::string path = (folder / "dravik.bix").string();
  EXPECT_FALSE(Open(0, 0, 0, path.c_str()));
  EXPECT_EQ(LastError(), "OpenDevice: Board did not come back after firmware download");
  EXPECT_EQ(sleeps.size(), 22u);
  EXPECT_EQ(std::count(state->calls.begin(), state->calls.end(), "Open 0"), 1 + 21);
  EXPECT_GT(handle, 0);
  EXPECT_EQ(CloseDevice(handle), 1);
}

TEST_F(OpenDeviceTest, DiagnosticLinesOnlyWithDravikDebug) {
  state->boards = {RunningBoard(0x0400, 0x1234)};
  ::unsetenv("DRAVIK_DEBUG");
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(Open(0, 0, 0, nullptr));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  ::setenv("DRAVIK_DEBUG", "1", 1);
  ::testing::internal::CaptureStdout();
  ASSERT_TRUE(Open(0, 0, 0, nullptr));
  const std::string output = ::testing::internal::GetCapturedStdout();
  ::unsetenv("DRAVIK_DEBUG");
  EXPECT_EQ(output, "Found cyusb device count = 1\nFound cyusb.sys device VID=400, PID=1234\n");
}

}  // namespace
}  // namespace dravik::testing
