#include "file_dialog.hpp"

#include <QFileDialog>
#include <QFileInfo>

#include "text.hpp"

namespace kestrova::mainwindow {

namespace {

// The common dialog's flag values this dialog honours.
constexpr std::uint32_t kOverwritePrompt = 0x2;
constexpr std::uint32_t kFileMustExist = 0x1000;
constexpr std::uint32_t kNoDereferenceLinks = 0x100000;

}  // namespace

QStringList QtNameFilters(std::string_view filter) {
  const QStringList parts = FromCore(filter).split(QLatin1Char('|'));
  QStringList filters;
  // A trailing description without a pattern is ignored.
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    // The description often names its patterns already ("Device (*)"): Qt
    // reads the patterns from the last parentheses, so they are replaced.
    if (description.endsWith(QLatin1Char(')'))) {
      const qsizetype open = description.lastIndexOf(QLatin1Char('('));
      if (open >= 0) {
        description = description.left(open).trimmed();
      }
    }
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      pattern = pattern.trimmed();
    }
    filters.append(description + QLatin1String(" (") + patterns.join(QLatin1Char(' ')) +
                   QLatin1Char(')'));
  }
  return filters;
}

bool ShowFileDialog(QWidget* owner, std::string_view filter, std::string_view title,
                    std::string& fileName, std::uint32_t flags, bool save) {
  QFileDialog dialog(owner != nullptr ? owner->window() : nullptr, FromCore(title));
  dialog.setObjectName("CommonDialog1");
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(!save && (flags & kFileMustExist) != 0 ? QFileDialog::ExistingFile
                                                            : QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !save || (flags & kOverwritePrompt) == 0);
  dialog.setOption(QFileDialog::DontResolveSymlinks, (flags & kNoDereferenceLinks) != 0);
  const QStringList filters = QtNameFilters(filter);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
  }
  if (!fileName.empty()) {
    const QFileInfo initial(QString::fromStdString(fileName));
    dialog.setDirectory(initial.absolutePath());
    dialog.selectFile(initial.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return false;
  }
  fileName = ToCorePath(dialog.selectedFiles().front());
  return true;
}

}  // namespace kestrova::mainwindow
