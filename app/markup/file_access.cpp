#include "markup/file_access.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace kestrova::markup {
namespace {

void Wait(const FileAccessOptions& options) {
  if (options.wait) {
    options.wait(options.retryDelay);
  } else {
    std::this_thread::sleep_for(options.retryDelay);
  }
}

// The opening attempts of every file access, the wait between them; the
// descriptor, or -1 with the last attempt's errno.
template <typename OpenOnce>
int OpenWithRetries(const FileAccessOptions& options, int& lastErrno, OpenOnce openOnce) {
  for (int attempt = 0; attempt < options.attempts; ++attempt) {
    const int fd = openOnce();
    if (fd >= 0) {
      return fd;
    }
    lastErrno = errno;
    if (attempt + 1 < options.attempts) {
      Wait(options);
    }
  }
  return -1;
}

std::string ErrorText(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// Closes the descriptor when the scope ends, whatever path is taken.
class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  ~FdGuard() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// A saved file replaces the file a symbolic link points at, not the link.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
      return resolved;
    }
  }
  return path;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    return ".";
  }
  if (slash == 0) {
    return "/";
  }
  return path.substr(0, slash);
}

std::string TemporaryName(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  const auto slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  return folder + "." + base + ".tmp" + std::to_string(::getpid()) + "-" +
         std::to_string(counter.fetch_add(1));
}

// The process that wrote a temporary file of `base` named `name`
// (".<base>.tmp<pid>-<n>"); 0 when the name is not one of those.
pid_t TemporaryWriter(std::string_view name, std::string_view base) {
  const std::string prefix = "." + std::string(base) + ".tmp";
  if (name.substr(0, prefix.size()) != prefix) {
    return 0;
  }
  const std::string_view rest = name.substr(prefix.size());
  const std::size_t dash = rest.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == rest.size() || dash > 9) {
    return 0;
  }
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (i != dash && (rest[i] < '0' || rest[i] > '9')) {
      return 0;
    }
  }
  return static_cast<pid_t>(std::strtol(std::string(rest.substr(0, dash)).c_str(), nullptr, 10));
}

// A save that was killed part-way leaves its temporary file behind. The next
// save of the same file removes those whose writer no longer runs, so they
// never pile up beside the file.
void RemoveStaleTemporaries(const std::string& target) {
  const auto slash = target.find_last_of('/');
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  DIR* dir = ::opendir(FolderOf(target).c_str());
  if (dir == nullptr) {
    return;
  }
  while (const dirent* entry = ::readdir(dir)) {
    const pid_t writer = TemporaryWriter(entry->d_name, base);
    if (writer > 0 && writer != ::getpid() && ::kill(writer, 0) != 0 && errno == ESRCH) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

// Every byte into `fd`; false with errno set when a write fails.
bool WriteAll(int fd, std::string_view data, const FileAccessOptions& options) {
  std::size_t done = 0;
  while (done < data.size()) {
    errno = 0;
    const long n = options.write ? options.write(fd, data.data() + done, data.size() - done)
                                 : ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      if (errno == 0) {
        errno = EIO;
      }
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// A device, pipe or socket is written in place: renaming a file over it
// would replace the device node itself. Every write and the close count.
FileAccessResult WriteSpecialFile(const std::string& path, std::string_view data,
                                  const FileAccessOptions& options) {
  FileAccessResult result;
  int lastErrno = 0;
  const int fd = OpenWithRetries(
      options, lastErrno, [&] { return ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC); });
  if (fd < 0) {
    result.openFailure = true;
    result.error = ErrorText("Cannot write", path, lastErrno);
    return result;
  }
  FdGuard guard(fd);
  if (!WriteAll(fd, data, options)) {
    result.error = ErrorText("Cannot write", path, errno);
    return result;
  }
  // Devices that keep nothing to flush answer EINVAL; anything else failed.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP) {
    result.error = ErrorText("Cannot write", path, errno);
    return result;
  }
  if (::close(guard.release()) != 0) {
    result.error = ErrorText("Cannot write", path, errno);
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace

FileAccessResult ReadWholeFile(const std::string& path, std::string& contents,
                               const FileAccessOptions& options) {
  FileAccessResult result;
  int lastErrno = 0;
  const int fd = OpenWithRetries(options, lastErrno,
                                 [&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd < 0) {
    result.openFailure = true;
    result.error = ErrorText("Cannot open", path, lastErrno);
    return result;
  }
  FdGuard guard(fd);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    result.openFailure = true;
    result.error = "Cannot open " + path + ": not a regular file";
    return result;
  }
  if (static_cast<std::size_t>(st.st_size) > kMaxMarkupFileBytes) {
    result.error = "Cannot load " + path + ": the file is larger than " +
                   std::to_string(kMaxMarkupFileBytes / (1024 * 1024)) + " MiB";
    return result;
  }
  contents.clear();
  contents.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  for (;;) {
    if (done == contents.size()) {
      // The file may have grown since fstat; read on in steps.
      if (contents.size() >= kMaxMarkupFileBytes) {
        break;
      }
      contents.resize(contents.size() + 4096);
    }
    const ssize_t n = ::read(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;  // end of file, or a read error: keep what was read
    }
    done += static_cast<std::size_t>(n);
  }
  contents.resize(done);
  result.ok = true;
  return result;
}

FileAccessResult WriteFileAtomically(const std::string& path, std::string_view data,
                                     const FileAccessOptions& options) {
  FileAccessResult result;
  const std::string target = ResolveTarget(path);
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
      !S_ISDIR(existing.st_mode)) {
    return WriteSpecialFile(target, data, options);
  }
  std::string temporary;
  int lastErrno = 0;
  const int fd = OpenWithRetries(options, lastErrno, [&] {
    temporary = TemporaryName(target);
    return ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  });
  if (fd < 0) {
    result.openFailure = true;
    result.error = ErrorText("Cannot write", path, lastErrno);
    return result;
  }
  FdGuard guard(fd);
  auto abandon = [&](const std::string& what, int error) {
    ::close(guard.release());
    ::unlink(temporary.c_str());
    result.error = ErrorText(what, path, error);
    return result;
  };

  // Keep the permissions of the file being replaced.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    if (S_ISDIR(old.st_mode)) {
      return abandon("Cannot write", EISDIR);
    }
    ::fchmod(fd, old.st_mode & 07777);
  }

  if (!WriteAll(fd, data, options)) {
    return abandon("Cannot write", errno);
  }
  if (::fsync(fd) != 0) {
    return abandon("Cannot write", errno);
  }
  if (::close(guard.release()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    result.error = ErrorText("Cannot write", path, error);
    return result;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    result.error = ErrorText("Cannot replace", path, error);
    return result;
  }
  // Make the rename itself durable; a failure here cannot undo the save.
  const int dirFd = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  RemoveStaleTemporaries(target);
  result.ok = true;
  return result;
}

}  // namespace kestrova::markup
