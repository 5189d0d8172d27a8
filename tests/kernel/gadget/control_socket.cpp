#include "control_socket.hpp"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace kestrova::kerneltest {
namespace {

constexpr size_t kMaxLine = 512;

bool Address(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) {
    return false;
  }
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return true;
}

std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (line.size() < kMaxLine && ::read(fd, &c, 1) == 1 && c != '\n') {
    line += c;
  }
  return line;
}

void WriteLine(int fd, const std::string& text) {
  const std::string line = text + "\n";
  [[maybe_unused]] ssize_t r = ::write(fd, line.data(), line.size());
}

}  // namespace

bool ServeControlSocket(const std::string& path, CommandHandler handler, std::string* error) {
  sockaddr_un address;
  if (!Address(path, &address)) {
    *error = "control socket path too long: " + path;
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ::unlink(path.c_str());
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0) {
    *error = "control socket " + path + ": " + std::strerror(errno);
    return false;
  }
  std::thread([fd, handler = std::move(handler)] {
    for (;;) {
      const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client < 0) {
        continue;
      }
      WriteLine(client, handler(ReadLine(client)));
      ::close(client);
    }
  }).detach();
  return true;
}

std::string SendControlCommand(const std::string& path, const std::string& line) {
  sockaddr_un address;
  if (!Address(path, &address)) {
    return "error control socket path too long";
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const std::string reason = std::strerror(errno);
    if (fd >= 0) {
      ::close(fd);
    }
    return "error cannot reach the gadget at " + path + ": " + reason;
  }
  WriteLine(fd, line);
  const std::string reply = ReadLine(fd);
  ::close(fd);
  return reply;
}

}  // namespace kestrova::kerneltest
