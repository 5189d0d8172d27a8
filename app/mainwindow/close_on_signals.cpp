#include "close_on_signals.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QWidget>
#include <array>
#include <cerrno>
#include <csignal>

namespace kestrova::mainwindow {

namespace {

constexpr std::array<int, 3> kClosingSignals = {SIGTERM, SIGINT, SIGHUP};

// The pipe from the handler to the event loop: [0] read, [1] write.
std::array<int, 2> signalPipe = {-1, -1};
std::array<struct sigaction, kClosingSignals.size()> previousActions{};

extern "C" void WriteSignalByte(int) {
  const int savedErrno = errno;
  const char byte = 1;
  // A full pipe already holds a wake-up: the byte may be dropped.
  [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
  errno = savedErrno;
}

}  // namespace

CloseOnSignals::CloseOnSignals(QWidget& window) : window_(window) {
  if (::pipe2(signalPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
    return;  // no pipe: the signals keep their default action
  }
  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  notifier_->setEnabled(false);
  connect(notifier_, &QSocketNotifier::activated, this, &CloseOnSignals::SignalArrived);
  struct sigaction action {};
  action.sa_handler = WriteSignalByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kClosingSignals.size(); ++i) {
    ::sigaction(kClosingSignals[i], &action, &previousActions[i]);
  }
}

CloseOnSignals::~CloseOnSignals() {
  if (notifier_ == nullptr) {
    return;
  }
  for (std::size_t i = 0; i < kClosingSignals.size(); ++i) {
    ::sigaction(kClosingSignals[i], &previousActions[i], nullptr);
  }
  ::close(signalPipe[0]);
  ::close(signalPipe[1]);
  signalPipe = {-1, -1};
}

void CloseOnSignals::Arm() {
  if (notifier_ != nullptr) {
    notifier_->setEnabled(true);
  }
}

void CloseOnSignals::SignalArrived() {
  std::array<char, 16> bytes{};
  while (::read(signalPipe[0], bytes.data(), bytes.size()) > 0) {
  }
  window_.close();
}

}  // namespace kestrova::mainwindow
