// The gadget's control channel: a Unix packet socket taking one text line
// per connection and answering one line (see BoardGadget::Command).
#pragma once

#include <functional>
#include <string>

namespace kestrova::kerneltest {

using CommandHandler = std::function<std::string(const std::string& line)>;

// Listens at path and serves connections on a thread of its own; false
// (error set) when the socket cannot be set up.
bool ServeControlSocket(const std::string& path, CommandHandler handler, std::string* error);

// The client side: sends one line, returns the reply ("error ..." when the
// gadget cannot be reached).
std::string SendControlCommand(const std::string& path, const std::string& line);

}  // namespace kestrova::kerneltest
