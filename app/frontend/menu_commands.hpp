#pragma once
// The menu commands around the desktop: the user's guide (Manual), the log
// viewer (View Log) and the About message. Files are opened through the
// front end's OpenDocument, so nothing here starts a program itself.

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova::frontend {

class FrontEnd;

inline constexpr const char* kManualFilter = "Manual (*.pdf)|*.pdf;*.html;*.htm;*.lnk";
inline constexpr const char* kManualTitle = "Open Manual";
inline constexpr const char* kLogFilter = "Log files (*.txt;*.log)|*.txt;*.log|All files (*.*)|*.*";
inline constexpr const char* kViewLogTitle = "View Log File";
inline constexpr std::uint32_t kViewDialogFlags = 0x30500D;
inline constexpr const char* kEmptyLogMessage =
    "Log file is currently empty\r\nIf logging to this file, wait for several lines of data to "
    "be saved";
// Where the reinstall advice of a failed Manual leads.
inline constexpr const char* kReaderSite = "https://get.adobe.com/reader/";

// Results of opening a document, as the desktop's shell reports them: above
// 32 it opened; 2 the file is missing; 0 it failed otherwise.
inline constexpr int kOpenedDocument = 33;
inline constexpr int kFileNotFound = 2;
inline constexpr int kUnknownOpenError = 0;

// Opens `path` through the front end: kOpenedDocument, kFileNotFound when the
// file does not exist, else kUnknownOpenError.
int OpenDocumentResult(FrontEnd& frontEnd, const std::string& path);

// The text of an error code of opening a document ("File not found" for 2,
// "Unknown error" for codes the table does not have).
std::string_view OpenErrorText(int code);

// Manual: the guide chosen in the file dialog (`manualFileName`, the part
// setting, takes the choice) is opened; when that fails, the error, the
// reinstall advice and the offer to visit the reader's site (Yes opens it).
// False when the dialog was cancelled.
bool ManualCommand(FrontEnd& frontEnd, std::string& manualFileName);

// View Log: the log chosen in the file dialog becomes the log file
// (`logFileName`); an empty one is reported instead of opened, a missing one
// ignored. False when the dialog was cancelled.
bool ViewLogCommand(FrontEnd& frontEnd, std::string& logFileName);

// The About message: the program, its version and, when known, the date of
// its user's guide; then the ownership line.
std::string AboutText(std::string_view version, std::string_view guideDate);

}  // namespace kestrova::frontend
