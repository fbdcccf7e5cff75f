// The child-process harness: fork, a transcript pipe, and a recorder that writes what the
// virtual desktop shows as it changes.
#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "app/upgrade_state.h"
#include "platform/process.h"
#include "platform/virtual_desktop.h"

namespace {

int gTranscriptFd = -1;
std::mutex gTranscriptMutex;

void WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

// What the recorder last saw of a window.
struct Seen {
    int templateId;
    bool isMessageBox;
    std::string title;
};

std::mutex gRecorderMutex;
std::map<platform::Hwnd, Seen> gSeen;

// Compares the desktop with what was seen before and writes the differences. Runs as the change
// observer on whichever thread changed the desktop, so no window is missed however briefly it
// shows.
void RecordDesktop() {
    std::lock_guard lock(gRecorderMutex);
    std::vector<platform::desktop::WindowView> windows = platform::desktop::Snapshot();
    std::map<platform::Hwnd, Seen> now;
    for (const auto& w : windows) {
        now[w.handle] = Seen{w.templateId, w.isMessageBox, w.title};
    }
    for (const auto& [handle, seen] : gSeen) {
        if (now.count(handle) == 0) {
            if (seen.isMessageBox) {
                TranscriptLine("close box \"%s\"", seen.title.c_str());
            } else {
                TranscriptLine("close %d", seen.templateId);
            }
        }
    }
    for (const auto& w : windows) {
        auto before = gSeen.find(w.handle);
        if (before == gSeen.end()) {
            if (w.isMessageBox) {
                TranscriptLine("box \"%s\" \"%s\"", w.title.c_str(), w.text.c_str());
            } else {
                TranscriptLine("open %d \"%s\"", w.templateId, w.title.c_str());
            }
        } else if (before->second.title != w.title) {
            TranscriptLine("title %d \"%s\"", w.templateId, w.title.c_str());
        }
    }
    gSeen = std::move(now);
}

std::uint64_t MillisecondsNow() {
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

[[noreturn]] void RunChildBody(const std::function<void()>& body, int fd) {
    gTranscriptFd = fd;
    platform::desktop::ResetForTest();
    ResetUpgradeState();
    gSeen.clear();
    platform::desktop::SetChangeObserver(RecordDesktop);
    try {
        body();
    } catch (const std::exception& e) {
        TranscriptLine("EXCEPTION %s", e.what());
        std::fflush(nullptr);
        ::_exit(kExitException);
    } catch (...) {
        TranscriptLine("EXCEPTION");
        std::fflush(nullptr);
        ::_exit(kExitException);
    }
    platform::EndProcess(0);
}

}  // namespace

bool InChildProcess() {
    return gTranscriptFd >= 0;
}

void TranscriptLine(const char* format, ...) {
    if (gTranscriptFd < 0) {
        return;
    }
    char line[4096];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    std::size_t size = std::min<std::size_t>(static_cast<std::size_t>(n), sizeof line - 2);
    line[size++] = '\n';
    std::lock_guard lock(gTranscriptMutex);
    WriteAll(gTranscriptFd, line, size);
}

std::vector<std::string> TranscriptLines(const std::string& transcript, const std::string& prefix) {
    std::vector<std::string> lines;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            lines.push_back(line);
        }
    }
    return lines;
}

ChildResult RunInChild(const std::function<void()>& body, int timeoutMs) {
    ChildResult result{-1, false, ""};
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.transcript = "HARNESS pipe failed\n";
        return result;
    }
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        result.transcript = "HARNESS fork failed\n";
        return result;
    }
    if (pid == 0) {
        ::close(fds[0]);
        RunChildBody(body, fds[1]);
    }
    ::close(fds[1]);

    // Read until the pipe closes and the child has ended, or the time is up. A process the child
    // started may keep the pipe open after the child ends, so the child's end is checked too.
    const std::uint64_t deadline = MillisecondsNow() + static_cast<std::uint64_t>(timeoutMs);
    int status = 0;
    bool ended = false;
    bool pipeOpen = true;
    char buffer[4096];
    while (!ended || pipeOpen) {
        std::uint64_t now = MillisecondsNow();
        if (!ended && now >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ended = true;
            result.timedOut = true;
        }
        if (!ended && ::waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
        }
        if (!pipeOpen) {
            if (!ended) {
                ::usleep(5000);
            }
            continue;
        }
        pollfd p{fds[0], POLLIN, 0};
        int ready = ::poll(&p, 1, ended ? 0 : 10);
        if (ready > 0) {
            ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n > 0) {
                result.transcript.append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                pipeOpen = false;
            }
        } else if (ready == 0 && ended) {
            pipeOpen = false;  // ended and nothing more is waiting
        }
    }
    ::close(fds[0]);
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    return result;
}
