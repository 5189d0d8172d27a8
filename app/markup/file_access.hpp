#pragma once
// Whole-file reads and writes of the markup store. Opening is retried because
// another program (an editor, a backup tool) may hold the file for a moment.
// Writes replace the file atomically: the new contents go to a temporary file
// in the same folder, which is renamed over the old one only once it is
// complete, so a failed or interrupted save never leaves half a file.

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kestrova::markup {

struct FileAccessOptions {
  int attempts = 10;
  std::chrono::milliseconds retryDelay{50};
  std::function<void(std::chrono::milliseconds)> wait;                    // empty: sleep
  std::function<long(int fd, const char* data, std::size_t size)> write;  // empty: ::write
};

struct FileAccessResult {
  bool ok = false;
  // The file (or the temporary file beside it) could not be opened at all.
  bool openFailure = false;
  std::string error;  // why, naming the file; empty on success
};

// Files larger than this are not markup files of the program.
inline constexpr std::size_t kMaxMarkupFileBytes = 64u * 1024u * 1024u;

// Reads the whole file into `contents`. A read error part-way keeps what was
// read (ok stays true): the caller loads as far as the file goes.
FileAccessResult ReadWholeFile(const std::string& path, std::string& contents,
                               const FileAccessOptions& options);

// Replaces `path` with `data` through a temporary file and a rename.
FileAccessResult WriteFileAtomically(const std::string& path, std::string_view data,
                                     const FileAccessOptions& options);

}  // namespace kestrova::markup
