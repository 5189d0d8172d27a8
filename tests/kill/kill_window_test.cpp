// The window and its startup file: SIGTERM closes it as its close button
// does, so the startup file names the device again; SIGKILL leaves "none".
// (The files it saves are the core's, killed while saving in kill_save_test.)

#include <gtest/gtest.h>

#include "kill_support.hpp"

namespace kestrova::testing {
namespace {

const std::string kNoneStartup = "<definition device=\"none\" test=\"0\">\r\n</definition>\r\n";
const std::string kDemoStartup = "<definition device=\"demo\" test=\"0\">\r\n</definition>\r\n";

using KillWindowTest = ProgramKillTest;

TEST_F(KillWindowTest, AnOrderlyEndNamesTheDeviceAndAKillLeavesNone) {
  const std::string startup = home_ / "dravik.def";
  for (const int signal : {SIGTERM, SIGKILL}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(startup);
    const pid_t pid = Start("kestrova");
    ASSERT_NE(pid, -1);
    ASSERT_TRUE(WaitFor(startup, kNoneStartup));  // loaded: "none" while it runs
    const int status = End(pid, signal);
    EXPECT_EQ(WIFEXITED(status) && WEXITSTATUS(status) == 0, signal == SIGTERM);
    EXPECT_EQ(ReadBytes(startup), signal == SIGTERM ? kDemoStartup : kNoneStartup);
  }
}

}  // namespace
}  // namespace kestrova::testing
