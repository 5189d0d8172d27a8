// The markup store against real files: exact bytes written, retries, atomic
// replacement, the log file and the reporting wrappers.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "markup/document_io.hpp"
#include "markup/markup_store.hpp"
#include "support/message_box_recorder.hpp"
#include "temp_folder.hpp"

namespace kestrova::markup {
namespace {

using namespace kestrova::testing;

class MarkupFileTest : public ::testing::Test {
 protected:
  MarkupFileTest() {
    store.SetRetryWait([this](std::chrono::milliseconds delay) { waits.push_back(delay); });
  }

  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // Writes that fill the disk after its first `room` bytes.
  static MarkupStore::WriteFunction DiskFullAfter(std::size_t room) {
    return [room](int fd, const char* data, std::size_t size) mutable -> long {
      if (room == 0) {
        errno = ENOSPC;
        return -1;
      }
      const long n = ::write(fd, data, std::min(size, room));
      room -= static_cast<std::size_t>(n);
      return n;
    };
  }

  TempFolder folder;
  MarkupStore store;
  std::vector<std::chrono::milliseconds> waits;
  MessageBoxRecorder messages;
};

// One tag per line, one space per depth, CR LF, Latin-1 bytes (\260: the
// degree sign) kept; a saved file leaves the store no longer modified. A link
// stays a link to its target, which keeps its permissions.
TEST_F(MarkupFileTest, SaveWritesTheStoredLinesWithCrLfIntoTheLinkTarget) {
  const std::string target = folder / "target.def";
  WriteBytes(target,
             "<?xml version=\"1.0\"?>\n<definition>\n\t<part label=\"Demo\">\n"
             "\t\t<register units=\"\260C\" addr=\"10\" />\n\t</part>\n</definition>\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  std::filesystem::create_symlink(target, folder / "link.def");
  ASSERT_TRUE(store.LoadMarkupFile(folder / "link.def"));
  store.SetXmlFileIndex(3);
  ASSERT_TRUE(store.SetAttribute("addr", "11", true));
  ASSERT_TRUE(store.SaveMarkupFile(folder / "link.def"));
  EXPECT_FALSE(store.IsModified());
  EXPECT_EQ(ReadBytes(target),
            "<definition>\r\n <part label=\"Demo\">\r\n  <register units=\"\260C\""
            " addr=\"11\" />\r\n </part>\r\n</definition>\r\n");
  EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.def"));
  EXPECT_EQ(std::filesystem::status(target).permissions(), std::filesystem::perms(0640));
}

TEST_F(MarkupFileTest, AFileThatDoesNotOpenIsTriedTenTimes50MsApartAndTheStoreKept) {
  ASSERT_TRUE(store.LoadMarkupText("<definition>\n<a />\n</definition>\n"));
  EXPECT_FALSE(store.LoadMarkupFile(folder / "missing"));
  EXPECT_EQ(waits, std::vector<std::chrono::milliseconds>(9, std::chrono::milliseconds(50)));
  EXPECT_TRUE(store.LastErrorWasOpenFailure());
  EXPECT_FALSE(store.LoadMarkupFile(folder.path()));  // a folder is no file to read
  EXPECT_TRUE(store.LastErrorWasOpenFailure());
  EXPECT_EQ(store.LineCount(), 3);
  waits.clear();
  EXPECT_FALSE(store.SaveMarkupFile(folder / "no/such/file"));
  EXPECT_EQ(waits.size(), 9u);
  EXPECT_TRUE(store.LastErrorWasOpenFailure());
  EXPECT_FALSE(store.OpenLogFile(folder / "no/log.txt"));
  EXPECT_FALSE(store.IsLogFileOpen());
}

// A save that fails (the name is a folder, the disk fills up) keeps what
// was there whole, leaves no temporary file and the store modified.
TEST_F(MarkupFileTest, AFailedSaveKeepsTheOldFileWholeAndLeavesNoOther) {
  const std::string path = folder / "part.def";
  const std::string old = "<definition driverclass=\"usb\">\r\n</definition>\r\n";
  WriteBytes(path, old);
  std::filesystem::create_directory(folder / "dir");
  ASSERT_TRUE(store.LoadMarkupText("<definition>\n<reg value=\"0\" text=\"" +
                                   std::string(300, 'x') + "\" />\n</definition>\n"));
  store.SetXmlFileIndex(2);
  store.SetAttribute("value", "5", true);
  EXPECT_FALSE(store.SaveMarkupFile(folder / "dir"));
  EXPECT_TRUE(std::filesystem::is_directory(folder / "dir"));
  store.SetWriteFunction(DiskFullAfter(100));
  EXPECT_FALSE(store.SaveMarkupFile(path));
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(Files(), (std::set<std::string>{"dir", "part.def"}));
  EXPECT_TRUE(store.IsModified());  // nothing was saved
  EXPECT_FALSE(store.LastErrorWasOpenFailure());
  EXPECT_NE(store.LastError().find("No space left on device"), std::string::npos);
  EXPECT_NE(store.LastError().find(path), std::string::npos);
}

// A device, pipe or socket is written in place, never replaced by a file,
// and a write it refuses is a failure; a log line the disk takes only in
// part is taken back.
TEST_F(MarkupFileTest, EveryWriteCountsAndSpecialFilesStayInPlace) {
  ASSERT_TRUE(store.LoadMarkupText("<definition>\n</definition>\n"));
  const std::string fifo = folder / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  EXPECT_TRUE(SaveDocument(store, fifo, messages));
  store.SetWriteFunction(DiskFullAfter(0));
  EXPECT_FALSE(SaveDocument(store, fifo, messages));
  char received[64] = {};
  EXPECT_EQ(::read(reader, received, sizeof received - 1), 29);  // the first save's bytes only
  ::close(reader);
  EXPECT_EQ(std::string(received), "<definition>\r\n</definition>\r\n");
  EXPECT_EQ(messages.Prompts(), "File read/write error for " + fifo + "\r\nCannot write " + fifo +
                                    ": No space left on device");
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  // A disk that holds 40 bytes of this log.
  const std::string log = folder / "full.txt";
  ASSERT_TRUE(store.OpenLogFile(log));
  ::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ::getrlimit(RLIMIT_FSIZE, &old);
  const rlimit limit{40, old.rlim_max};
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool first = store.WriteLogLine("12:00:01\t25.0000\t80.0000");  // 26 bytes
  const bool second = store.WriteLogLine("12:00:02\t25.0625\t80.0000");
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, SIG_DFL);
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
  EXPECT_TRUE(store.CloseLogFile());
  EXPECT_EQ(ReadBytes(log), "12:00:01\t25.0000\t80.0000\r\n");
}

// Log lines are appended with CR LF, each in the file at once; a line cut
// short by a killed run is ended first (only the LF when the CR is there).
TEST_F(MarkupFileTest, LogFileAppendsLinesWithCrLf) {
  EXPECT_FALSE(store.WriteLogLine("no log open"));
  EXPECT_FALSE(store.CloseLogFile());
  const struct {
    const char* before;  // nullptr: no file yet
    std::vector<std::string> lines;
    const char* after;
  } cases[] = {
      {"earlier\r\n", {"Time\tTemp", ""}, "earlier\r\nTime\tTemp\r\n\r\n"},
      {"Time\tTemp\r\n12:00:01\t25.0",
       {"12:00:05\t25.5"},
       "Time\tTemp\r\n12:00:01\t25.0\r\n12:00:05\t25.5\r\n"},
      {"12:00:01\t25.0\r", {"12:00:02\t25.1"}, "12:00:01\t25.0\r\n12:00:02\t25.1\r\n"},
      {"Time\tTemp\r\n", {}, "Time\tTemp\r\n"},  // a whole file gets nothing added
      {"", {}, ""},
      {nullptr, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after);
    const std::string path = folder / ("log" + std::to_string(&c - cases) + ".txt");
    if (c.before != nullptr) {
      WriteBytes(path, c.before);
    }
    ASSERT_TRUE(store.OpenLogFile(path));
    EXPECT_TRUE(store.IsLogFileOpen());
    for (const std::string& line : c.lines) {
      ASSERT_TRUE(store.WriteLogLine(line));
      EXPECT_TRUE(ReadBytes(path).ends_with(line + "\r\n"));  // in the file at once
    }
    EXPECT_TRUE(store.CloseLogFile());
    EXPECT_FALSE(store.IsLogFileOpen());
    EXPECT_EQ(ReadBytes(path), c.after);
  }
}

TEST_F(MarkupFileTest, SaveRemovesTemporaryFilesOfKilledSavesOnly) {
  const std::string path = folder / "plot.def";
  // A process id of nine digits that cannot be running (above the kernel's limit).
  const std::string dead = ".plot.def.tmp999999999-0";
  const std::string alive = ".plot.def.tmp" + std::to_string(::getppid()) + "-3";
  WriteBytes(folder / dead, "<definition>\r\n <plo");
  WriteBytes(folder / alive, "<definition>");
  WriteBytes(folder / ".part.def.tmp99999999-0", "x");
  WriteBytes(folder / ".plot.def.tmpabc-0", "x");
  ASSERT_TRUE(store.LoadMarkupText("<definition>\r\n</definition>\r\n"));
  ASSERT_TRUE(store.SaveMarkupFile(path));
  EXPECT_EQ(Files(), (std::set<std::string>{".part.def.tmp99999999-0", alive, ".plot.def.tmpabc-0",
                                            "plot.def"}));
}

}  // namespace
}  // namespace kestrova::markup
