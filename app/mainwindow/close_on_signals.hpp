#pragma once
// SIGTERM, SIGINT and SIGHUP (a desktop session ending, a terminal closed,
// Ctrl+C) close the window as its close button does, so the orderly end
// runs: pending changes and settings offered, the device closed, the startup
// file written back. The handler only writes a byte to a pipe (all a signal
// handler may safely do); the event loop reads it and closes the window.

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace kestrova::mainwindow {

class CloseOnSignals : public QObject {
  Q_OBJECT

 public:
  // Handles the three signals until destroyed; one instance at a time.
  explicit CloseOnSignals(QWidget& window);
  // The window stands: signals close it from now on (one that came before
  // closes it at once).
  void Arm();
  ~CloseOnSignals() override;
  CloseOnSignals(const CloseOnSignals&) = delete;
  CloseOnSignals& operator=(const CloseOnSignals&) = delete;

 private:
  void SignalArrived();

  QWidget& window_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kestrova::mainwindow
