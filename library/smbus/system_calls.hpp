// The system calls of the i2c-dev driver, behind an interface so that tests
// can record the ioctl requests it would make.
#pragma once

namespace dravik::smbus {

class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  virtual int Open(const char* path, int flags) = 0;
  // arg: the ioctl argument, a value or a pointer as the request needs.
  virtual int Ioctl(int fd, unsigned long request, unsigned long arg) = 0;
  virtual int Close(int fd) = 0;
};

// The real open/ioctl/close.
SystemCalls& OperatingSystem();

}  // namespace dravik::smbus
