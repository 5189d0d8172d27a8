#include "markup/log_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace kestrova::markup {

LogFile::LogFile(LogFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

LogFile& LogFile::operator=(LogFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

LogFile::~LogFile() {
  Close();
}

bool LogFile::Open(const std::string& path) {
  Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  return fd_ >= 0;
}

bool LogFile::WriteLine(std::string_view text) {
  if (fd_ < 0) {
    return false;
  }
  // One write per line: the line reaches the file whole or not at all as far
  // as the program is concerned, and nothing waits in a user-space buffer.
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text);
  line.append("\r\n");
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool LogFile::Close() {
  if (fd_ < 0) {
    return false;
  }
  const int result = ::close(std::exchange(fd_, -1));
  return result == 0;
}

}  // namespace kestrova::markup
