#include "command_line.hpp"

#include <QCommandLineParser>
#include <cstdio>

namespace kestrova::mainwindow {

CommandLineResult ParseWindowOptions(const QStringList& arguments, WindowOptions& options,
                                     bool strict) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      "Kestrova: evaluates digital temperature-sensor chips through a USB evaluation board,\n"
      "an SMBus/I2C adapter or no hardware at all.");
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption home("home", "Use DIR as the program folder.", "DIR");
  const QCommandLineOption device("device", "Open the part NAME (a file of DIR/device).", "NAME");
  const QCommandLineOption emulated("emulated-board",
                                    "Use the emulated board and SMBus controller.");
  const QCommandLineOption link("link", "Connect through LINK (usb, ich or none) without asking.",
                                "LINK");
  const QCommandLineOption smbus("smbus",
                                 "The SMBus adapter of the ich hardware: its number (1), its path "
                                 "(/dev/i2c-1) or a driver name (default: part.def's "
                                 "smbusadapter, else the definition's).",
                                 "ADAPTER");
  parser.addOptions({home, device, emulated, link, smbus});
  const bool parsed = parser.parse(arguments);
  if (parser.isSet(help)) {
    std::fputs(qPrintable(parser.helpText()), stdout);
    return CommandLineResult::Exit;
  }
  if (parser.isSet(version)) {
    std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                qPrintable(QCoreApplication::applicationVersion()));
    return CommandLineResult::Exit;
  }
  if (!strict) {
    return CommandLineResult::Run;
  }
  if (!parsed) {
    std::fprintf(stderr, "kestrova: %s\n", qPrintable(parser.errorText()));
    return CommandLineResult::Error;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "kestrova: unexpected argument \"%s\"\n",
                 qPrintable(parser.positionalArguments().front()));
    return CommandLineResult::Error;
  }
  if (parser.isSet(link)) {
    options.link = parser.value(link).toStdString();
  }
  if (parser.isSet(smbus)) {
    options.smbus = parser.value(smbus).toStdString();
  }
  if (const std::string problem = frontend::StartOptionsProblem(options); !problem.empty()) {
    std::fprintf(stderr, "kestrova: %s\n", problem.c_str());
    return CommandLineResult::Error;
  }
  if (parser.isSet(home)) {
    options.home = parser.value(home).toStdString();
  }
  if (parser.isSet(device)) {
    options.device = parser.value(device).toStdString();
  }
  options.emulatedBoard = parser.isSet(emulated);
  return CommandLineResult::Run;
}

}  // namespace kestrova::mainwindow
