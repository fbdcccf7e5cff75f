#include "tests/support/terminal_session.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

extern char** environ;

namespace testsupport {
namespace {

constexpr int kPollMilliseconds = 50;
constexpr const char* kSessionName = "zeb";

// Runs a command to its end; its standard output goes to `output` when given, else nowhere (a
// tmux server started by the command must not hold a pipe of ours open). Returns the exit
// status, or -1 when it could not be run.
int Run(const std::vector<std::string>& argv, std::string* output = nullptr) {
    int pipeFds[2] = {-1, -1};
    if (output != nullptr && ::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_t child = 0;
    int spawned = ::posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    std::string text;
    if (output != nullptr) {
        ::close(pipeFds[1]);
        char buffer[4096];
        for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
    }
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    if (output != nullptr) {
        *output = text;
    }
    return WEXITSTATUS(status);
}

std::vector<std::string> Tmux(const TerminalSession& session, std::vector<std::string> rest) {
    std::vector<std::string> argv = {"tmux", "-L", session.socketName, "-f", "/dev/null"};
    argv.insert(argv.end(), rest.begin(), rest.end());
    return argv;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char ch : text) {
        quoted += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    }
    return quoted + "'";
}

}  // namespace

bool TmuxAvailable() {
    return Run({"tmux", "-V"}) == 0;
}

bool StartTerminalSession(TerminalSession* session, const std::vector<std::string>& argv,
                          int columns, int rows, const std::vector<std::string>& environment) {
    static std::atomic<int> counter{0};
    std::string pattern = (std::filesystem::temp_directory_path() / "zebterm-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return false;
    }
    session->directory = pattern;
    session->exitFile = pattern + "/exit";
    session->socketName =
        "zebterm-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    // The terminal modes are saved before and after the program, so that a test can tell
    // whether the program gave the terminal back as it found it. The exit line is written under
    // another name and renamed, so that a reader never sees half of it.
    // The shell catches SIGINT (its children start with the default action), so that Ctrl-C
    // reaches the program alone and the shell goes on to record how it ended.
    std::string script = "trap : INT; stty -g > " + ShellQuote(pattern + "/modes-before") + "; ";
    for (const std::string& arg : argv) {
        script += ShellQuote(arg) + " ";
    }
    std::string partial = ShellQuote(session->exitFile + ".part");
    script += "; code=$?; stty -g > " + ShellQuote(pattern + "/modes-after") +
              "; echo EXIT=$code > " + partial + " && mv " + partial + " " +
              ShellQuote(session->exitFile);
    std::vector<std::string> command = {
        "new-session",       "-d", "-s", kSessionName, "-x", std::to_string(columns), "-y",
        std::to_string(rows)};
    for (const std::string& variable : environment) {
        command.push_back("-e");
        command.push_back(variable);
    }
    command.insert(command.end(), {"sh", "-c", script});
    session->started = Run(Tmux(*session, command)) == 0;
    return session->started;
}

std::string CaptureScreen(const TerminalSession& session, bool withAttributes) {
    std::vector<std::string> command = {"capture-pane", "-p", "-t", kSessionName};
    if (withAttributes) {
        command.push_back("-e");
    }
    std::string screen;
    if (Run(Tmux(session, command), &screen) != 0) {
        return "";
    }
    return screen;
}

bool WaitForScreen(const TerminalSession& session, const std::string& text, int timeoutMs,
                   std::string* screen) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        *screen = CaptureScreen(session);
        if (screen->find(text) != std::string::npos) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
    }
}

void SendKeys(const TerminalSession& session, const std::vector<std::string>& keys) {
    std::vector<std::string> command = {"send-keys", "-t", kSessionName};
    command.insert(command.end(), keys.begin(), keys.end());
    Run(Tmux(session, command));
}

void SendText(const TerminalSession& session, const std::string& text) {
    Run(Tmux(session, {"send-keys", "-t", kSessionName, "-l", text}));
}

int WaitForExitCode(const TerminalSession& session, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::ifstream file(session.exitFile);
        std::string line;
        if (std::getline(file, line) && line.rfind("EXIT=", 0) == 0) {
            return std::atoi(line.c_str() + 5);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMilliseconds));
    }
}

bool TerminalModesRestored(const TerminalSession& session) {
    auto read = [](const std::string& path) {
        std::ifstream file(path);
        std::string line;
        std::getline(file, line);
        return line;
    };
    std::string before = read(session.directory + "/modes-before");
    return !before.empty() && before == read(session.directory + "/modes-after");
}

void EndTerminalSession(TerminalSession* session) {
    if (session->started) {
        Run(Tmux(*session, {"kill-server"}));
        session->started = false;
    }
    if (!session->directory.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(session->directory, ignored);
        session->directory.clear();
    }
}

}  // namespace testsupport
