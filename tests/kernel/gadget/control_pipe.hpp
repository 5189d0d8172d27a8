// The gadget's control channel: a named pipe at the path takes one text line
// per command, the named pipe beside it (path + ".reply") gives back one line
// (see BoardGadget::Command). One client at a time, as the guest's checks run.
#pragma once

#include <functional>
#include <string>

namespace kestrova::kerneltest {

using CommandHandler = std::function<std::string(const std::string& line)>;

// Makes the pipes and serves commands on a thread of its own; false (error
// set) when the pipes cannot be made.
bool ServeControlPipe(const std::string& path, CommandHandler handler, std::string* error);

// The client side: sends one line, returns the reply ("error ..." when the
// gadget cannot be reached).
std::string SendControlCommand(const std::string& path, const std::string& line);

}  // namespace kestrova::kerneltest
