#include "frontend/menu_commands.hpp"

#include <array>
#include <filesystem>
#include <system_error>
#include <utility>

#include "frontend/front_end.hpp"

namespace kestrova::frontend {

namespace {

constexpr std::array<std::pair<int, std::string_view>, 12> kOpenErrors = {{
    {2, "File not found"},
    {3, "Path not found"},
    {5, "Access denied"},
    {8, "Out of memory"},
    {11, "Invalid EXE file or error in EXE image"},
    {26, "A sharing violation occurred"},
    {27, "Incomplete or invalid file association"},
    {28, "DDE Time out"},
    {29, "DDE transaction failed"},
    {30, "DDE busy"},
    {31, "No association for file extension"},
    {32, "DLL not found"},
}};

constexpr const char* kReinstallAdvice =
    "\r\nYou may need to reinstall\r\nAdobe Acrobat Reader 4.05 or later\r\n"
    "Go to the Adobe Acrobat Reader web site now?";

}  // namespace

int OpenDocumentResult(FrontEnd& frontEnd, const std::string& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return kFileNotFound;
  }
  return frontEnd.OpenDocument(path) ? kOpenedDocument : kUnknownOpenError;
}

std::string_view OpenErrorText(int code) {
  for (const auto& [known, text] : kOpenErrors) {
    if (known == code) {
      return text;
    }
  }
  return "Unknown error";
}

bool ManualCommand(FrontEnd& frontEnd, std::string& manualFileName) {
  if (!frontEnd.ShowFileDialog(kManualFilter, kManualTitle, manualFileName, kViewDialogFlags,
                               false)) {
    return false;
  }
  const int result = OpenDocumentResult(frontEnd, manualFileName);
  if (result < kOpenedDocument &&
      frontEnd.Show(std::string(OpenErrorText(result)) + kReinstallAdvice, markup::MB_YESNO) ==
          markup::IDYES) {
    frontEnd.OpenDocument(kReaderSite);
  }
  return true;
}

bool ViewLogCommand(FrontEnd& frontEnd, std::string& logFileName) {
  if (!frontEnd.ShowFileDialog(kLogFilter, kViewLogTitle, logFileName, kViewDialogFlags, false)) {
    return false;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(logFileName, error);
  if (error) {
    return true;  // gone since the dialog, or not a file: nothing to show
  }
  if (size == 0) {
    frontEnd.Show(kEmptyLogMessage, markup::MB_OK);
  } else {
    frontEnd.OpenDocument(logFileName);
  }
  return true;
}

std::string AboutText(std::string_view version, std::string_view guideDate) {
  std::string text = "Kestrova " + std::string(version);
  if (!guideDate.empty()) {
    text += ", user's guide of " + std::string(guideDate);
  }
  return text + "\r\nFree software for evaluating temperature-sensor chips; no warranty.";
}

}  // namespace kestrova::frontend
