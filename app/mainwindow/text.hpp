#pragma once
// Texts from the core are single-byte Latin-1 (definition labels, units such
// as "°C" = B0 43), possibly joined with UTF-8 paths; the window speaks
// QString. Line breaks "\r\n" become "\n".

#include <QString>
#include <string>
#include <string_view>

namespace kestrova::mainwindow {

QString FromCore(std::string_view text);
// A text of the window as the core's single-byte text: what Latin-1 lacks
// becomes "?".
std::string ToCore(const QString& text);
// A path or name typed in the window, as the core stores it.
std::string ToCorePath(const QString& text);

}  // namespace kestrova::mainwindow
