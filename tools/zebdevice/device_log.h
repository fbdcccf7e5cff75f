// The simulator's event log: one line per event, to standard output or a file.
#pragma once

#include <string>

namespace zebdevice {

// Opens the log; an empty path logs to standard output. False when the file cannot be opened.
bool OpenLog(const std::string& path);
// printf-style; adds a timestamp and a newline, flushes at once. Thread-safe.
void LogEvent(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace zebdevice
