// The packet trace: with DRAVIK_TRACE=FILE set, one line is appended to FILE
// for every request the library makes of a board or SMBus driver, so a user
// can see exactly what went over the wire. Lines are formatted into a fixed
// buffer: nothing is allocated per transfer, whether the trace is on or off.
//
// Line format (fields separated by one blank):
//   2026-12-06 23:08:28.123456 usb ep=0x02 out 8/8 [01 02 04 48 00 01 02 03] ok
//   time (local, microseconds), link ("usb" or "smbus"), target (ep=0xNN for
//   a bulk or interrupt transfer, ep=0x00 setup=TT.RR.VVVV.IIII.LLLL for a
//   control transfer, code=0xNNNNNN for any other driver request), direction
//   ("in", "out" or "-"), bytes moved/bytes asked, the bytes in hex (what was
//   sent for "out", what came back for "in"; at most kTraceMaxBytes, then
//   "..."), the result ("ok", "timeout", "failed" or "status=SSSSSSSS,UUUUUUUU").
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace dravik {

constexpr size_t kTraceMaxBytes = 4096;
constexpr size_t kTraceLineCapacity = 160 + 3 * kTraceMaxBytes;

enum class TraceResult { kOk, kTimeout, kFailed, kStatus };

struct TraceRecord {
  const char* link = "usb";
  const char* target = "";  // already formatted, e.g. "ep=0x02"
  const char* direction = "-";
  uint32_t moved = 0;
  uint32_t asked = 0;
  const uint8_t* bytes = nullptr;
  size_t byteCount = 0;
  TraceResult result = TraceResult::kOk;
  uint32_t status = 0;  // the two status words, shown with kStatus
  uint32_t usbdStatus = 0;
};

// True when the trace is on (DRAVIK_TRACE named a file that opened).
bool TraceEnabled();
// Appends one line for the record, stamped with the current time.
void TraceTransfer(const TraceRecord& record);

// Formats one line, newline included, into out; returns its length. Pure,
// for tests: the time is given.
size_t FormatTraceLine(char* out, size_t capacity, const TraceRecord& record, const timespec& when);

// Points the trace at another file (nullptr switches it off), as
// DRAVIK_TRACE does at start. For tests.
void SetTraceFileForTesting(const char* path);

}  // namespace dravik
