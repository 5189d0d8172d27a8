#include "packet_trace.hpp"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "diagnostics.hpp"

namespace dravik {
namespace {

struct TraceState {
  std::mutex mutex;
  bool loaded = false;
  FILE* file = nullptr;
  char line[kTraceLineCapacity];
};

TraceState& State() {
  static TraceState state;
  return state;
}

void OpenTraceFile(TraceState& state, const char* path) {
  if (state.file != nullptr) {
    std::fclose(state.file);
    state.file = nullptr;
  }
  state.loaded = true;
  if (path == nullptr || path[0] == '\0') {
    return;
  }
  state.file = std::fopen(path, "a");
  if (state.file == nullptr) {
    Diagnostic("DRAVIK_TRACE: cannot open %s for appending; no trace written\n", path);
  }
}

void LoadFromEnvironment(TraceState& state) {
  if (!state.loaded) {
    OpenTraceFile(state, std::getenv("DRAVIK_TRACE"));
  }
}

// Appends text to out at *used, never past capacity - 1.
void Append(char* out, size_t capacity, size_t* used, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

void Append(char* out, size_t capacity, size_t* used, const char* format, ...) {
  if (*used + 1 >= capacity) {
    return;
  }
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(out + *used, capacity - *used, format, args);
  va_end(args);
  if (n > 0) {
    *used +=
        static_cast<size_t>(n) < capacity - *used ? static_cast<size_t>(n) : capacity - *used - 1;
  }
}

const char* ResultText(TraceResult result) {
  switch (result) {
    case TraceResult::kOk:
      return "ok";
    case TraceResult::kTimeout:
      return "timeout";
    case TraceResult::kFailed:
      return "failed";
    case TraceResult::kStatus:
      return "status";
  }
  return "failed";
}

}  // namespace

size_t FormatTraceLine(char* out, size_t capacity, const TraceRecord& record,
                       const timespec& when) {
  if (capacity == 0) {
    return 0;
  }
  size_t used = 0;
  out[0] = '\0';
  struct tm local {};
  time_t seconds = when.tv_sec;
  localtime_r(&seconds, &local);
  Append(out, capacity, &used, "%04d-%02d-%02d %02d:%02d:%02d.%06ld %s %s %s %u/%u [",
         local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
         local.tm_sec, static_cast<long>(when.tv_nsec / 1000), record.link, record.target,
         record.direction, record.moved, record.asked);
  size_t shown = record.byteCount < kTraceMaxBytes ? record.byteCount : kTraceMaxBytes;
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < shown && record.bytes != nullptr && used + 4 < capacity; ++i) {
    if (i > 0) {
      out[used++] = ' ';
    }
    out[used++] = kHex[record.bytes[i] >> 4];
    out[used++] = kHex[record.bytes[i] & 0x0F];
  }
  out[used] = '\0';
  if (shown < record.byteCount) {
    Append(out, capacity, &used, " ...");
  }
  if (record.result == TraceResult::kStatus) {
    Append(out, capacity, &used, "] status=%08x,%08x\n", record.status, record.usbdStatus);
  } else {
    Append(out, capacity, &used, "] %s\n", ResultText(record.result));
  }
  return used;
}

bool TraceEnabled() {
  TraceState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  LoadFromEnvironment(state);
  return state.file != nullptr;
}

void TraceTransfer(const TraceRecord& record) {
  TraceState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  LoadFromEnvironment(state);
  if (state.file == nullptr) {
    return;
  }
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  size_t length = FormatTraceLine(state.line, sizeof state.line, record, now);
  // One write per line, flushed at once, so a crash loses nothing already traced.
  std::fwrite(state.line, 1, length, state.file);
  std::fflush(state.file);
}

void SetTraceFileForTesting(const char* path) {
  TraceState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  OpenTraceFile(state, path);
}

}  // namespace dravik
