// The simulator's event log: "[seconds] event" lines, flushed one by one.
#include "tools/zebdevice/device_log.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace zebdevice {
namespace {

std::mutex gLogMutex;
std::FILE* gLog = stdout;
const auto gStart = std::chrono::steady_clock::now();

}  // namespace

bool OpenLog(const std::string& path) {
    std::lock_guard<std::mutex> lock(gLogMutex);
    if (path.empty()) {
        gLog = stdout;
        return true;
    }
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        return false;
    }
    gLog = file;
    return true;
}

void LogEvent(const char* format, ...) {
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - gStart).count();
    std::lock_guard<std::mutex> lock(gLogMutex);
    std::fprintf(gLog, "[%9.3f] ", seconds);
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(gLog, format, arguments);
    va_end(arguments);
    std::fputc('\n', gLog);
    std::fflush(gLog);
}

}  // namespace zebdevice
