#include "markup/log_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
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
  // Standard output is shared, not opened anew: a second open of a file it
  // is redirected to would write at its own offset and be overwritten.
  if (path == kStandardOutput) {
    fd_ = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    return fd_ >= 0;
  }
  fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0 && errno == EACCES) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    return fd_ >= 0;
  }
  if (fd_ < 0) {
    return false;
  }
  // A run that was killed while writing a line leaves it without its line
  // end; the line is ended here so the next one does not run into it.
  struct stat st {};
  char last = '\n';
  if (::fstat(fd_, &st) == 0 && st.st_size > 0 && ::pread(fd_, &last, 1, st.st_size - 1) == 1) {
    if (last == '\r') {
      WriteBytes("\n");
    } else if (last != '\n') {
      WriteBytes("\r\n");
    }
  }
  return true;
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
  // A line the disk takes only in part is taken back: the file stays whole.
  const off_t before = ::lseek(fd_, 0, SEEK_END);
  if (WriteBytes(line)) {
    return true;
  }
  if (before >= 0) {
    const int error = errno;
    if (::ftruncate(fd_, before) != 0) {
      errno = error;
    }
  }
  return false;
}

bool LogFile::WriteBytes(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
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
