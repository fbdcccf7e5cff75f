// Runs the device simulator (zebdevice) as a child process for a test, on a loopback address.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

class SimulatedDevice {
  public:
    SimulatedDevice() = default;
    ~SimulatedDevice();  // stops the simulator
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    // Starts zebdevice with `arguments` (plus --log to a private file) and waits, at most
    // timeoutMs, for its "listening" line. False (with the log kept) when it did not come up.
    bool Start(const std::vector<std::string>& arguments, int timeoutMs = 10000);
    // SIGTERM, then the exit status as from waitpid; -1 when it was not running.
    int Stop();
    // The simulator's log so far.
    std::string Log() const;
    // Waits at most timeoutMs for `text` to appear in the log.
    bool WaitForLog(const std::string& text, int timeoutMs) const;
    // The value of `key=` on the first log line that contains `lineText`, "" when none.
    std::string LogValue(const std::string& lineText, const std::string& key) const;

  private:
    pid_t pid_ = -1;
    std::string logPath_;
};

// SHA-256 of a file's bytes as lowercase hexadecimal ("" when it cannot be read).
std::string Sha256OfFile(const std::string& path);
