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

// A packet socket at path: one message is one line, whole, with no framing.
int Socket(const std::string& path, sockaddr_un* address) {
  std::memset(address, 0, sizeof *address);
  address->sun_family = AF_UNIX;
  if (path.size() >= sizeof address->sun_path) {
    errno = ENAMETOOLONG;
    return -1;
  }
  std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
  return ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
}

std::string Receive(int fd) {
  char line[kMaxLine];
  const ssize_t n = ::recv(fd, line, sizeof line, 0);
  return std::string(line, n > 0 ? static_cast<size_t>(n) : 0);
}

}  // namespace

bool ServeControlSocket(const std::string& path, CommandHandler handler, std::string* error) {
  sockaddr_un address;
  const int fd = Socket(path, &address);
  ::unlink(path.c_str());
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0) {
    *error = "control socket " + path + ": " + std::strerror(errno);
    return false;
  }
  std::thread([fd, handler = std::move(handler)] {
    for (;;) {
      const int client = ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        const std::string reply = handler(Receive(client));
        ::send(client, reply.data(), reply.size(), MSG_NOSIGNAL);
        ::close(client);
      }
    }
  }).detach();
  return true;
}

std::string SendControlCommand(const std::string& path, const std::string& line) {
  sockaddr_un address;
  const int fd = Socket(path, &address);
  const bool sent = fd >= 0 &&
                    ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                    ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) >= 0;
  const std::string reply =
      sent ? Receive(fd) : "error cannot reach the gadget at " + path + ": " + std::strerror(errno);
  if (fd >= 0) {
    ::close(fd);
  }
  return reply;
}

}  // namespace kestrova::kerneltest
