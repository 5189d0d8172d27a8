#include "control_pipe.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

namespace kestrova::kerneltest {

bool ServeControlPipe(const std::string& path, CommandHandler handler, std::string* error) {
  // The reply pipe first: once the command pipe is there, both are.
  for (const std::string& pipe : {path + ".reply", path}) {
    ::unlink(pipe.c_str());
    if (::mkfifo(pipe.c_str(), 0600) != 0) {
      *error = "control pipe " + pipe + ": " + std::strerror(errno);
      return false;
    }
  }
  // Opened for writing too, the command pipe always has a reader and never
  // ends: a client finds it between two commands as well.
  std::thread([path, handler = std::move(handler),
               commands = std::fstream(path, std::ios::in | std::ios::out)]() mutable {
    for (std::string line; std::getline(commands, line);) {
      std::ofstream(path + ".reply") << handler(line) << '\n';
    }
  }).detach();
  return true;
}

std::string SendControlCommand(const std::string& path, const std::string& line) {
  // Without the gadget the pipe has no reader: the open fails at once.
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  const std::string message = line + "\n";
  const bool sent = fd >= 0 && ::write(fd, message.data(), message.size()) ==
                                   static_cast<ssize_t>(message.size());
  const std::string reason = std::strerror(errno);
  if (fd >= 0) {
    ::close(fd);
  }
  if (!sent) {
    return "error cannot reach the gadget at " + path + ": " + reason;
  }
  // An open may still meet the end of the previous reply: then once more.
  std::string reply;
  while (!std::getline(std::ifstream(path + ".reply"), reply)) {
  }
  return reply;
}

}  // namespace kestrova::kerneltest
