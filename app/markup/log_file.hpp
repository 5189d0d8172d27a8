#pragma once
// The append-only log text file of continuous read: one line per call, each
// handed to the operating system at once so a crash loses at most the line
// being written.

#include <string>
#include <string_view>

namespace kestrova::markup {

// The path that names the process's standard output (`kestrova-cli log -`).
inline constexpr const char* kStandardOutput = "/dev/stdout";

class LogFile {
 public:
  LogFile() = default;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  LogFile(LogFile&& other) noexcept;
  LogFile& operator=(LogFile&& other) noexcept;
  ~LogFile();

  // Opens `path` for appending, creating it when absent; an open log is closed
  // first. kStandardOutput writes to this process's standard output.
  bool Open(const std::string& path);
  // Appends `text` and CR LF. False when no log is open or the write fails;
  // then nothing of the line stays in the file.
  bool WriteLine(std::string_view text);
  // False when no log was open or closing failed.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool WriteBytes(std::string_view bytes);

  int fd_ = -1;
};

}  // namespace kestrova::markup
