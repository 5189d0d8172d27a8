#include "smbus/system_calls.hpp"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace dravik::smbus {
namespace {

class LinuxSystemCalls : public SystemCalls {
 public:
  int Open(const char* path, int flags) override {
    int fd = -1;
    do {
      fd = ::open(path, flags | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
  }
  int Ioctl(int fd, unsigned long request, unsigned long arg) override {
    return ::ioctl(fd, request, arg);
  }
  int Close(int fd) override { return ::close(fd); }
};

}  // namespace

SystemCalls& OperatingSystem() {
  static LinuxSystemCalls calls;
  return calls;
}

}  // namespace dravik::smbus
