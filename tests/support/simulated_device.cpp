#include "tests/support/simulated_device.h"

#include <fcntl.h>
#include <openssl/sha.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace {

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

SimulatedDevice::~SimulatedDevice() {
    Stop();
    if (!logPath_.empty()) {
        std::remove(logPath_.c_str());
    }
}

bool SimulatedDevice::Start(const std::vector<std::string>& arguments, int timeoutMs) {
    char path[] = "/tmp/zebdevice-log-XXXXXX";
    int fd = ::mkstemp(path);
    if (fd < 0) {
        return false;
    }
    ::close(fd);
    logPath_ = path;

    std::vector<std::string> args = {ZEBDEVICE_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    args.push_back("--log");
    args.push_back(logPath_);
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        // The simulator never outlives the test that started it, whatever ends the test.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (pid_ < 0) {
        return false;
    }
    if (WaitForLog("listening", timeoutMs)) {
        return true;
    }
    Stop();
    return false;
}

int SimulatedDevice::Stop() {
    if (pid_ <= 0) {
        return -1;
    }
    ::kill(pid_, SIGTERM);
    int status = 0;
    // Bounded: SIGKILL if it has not gone within five seconds.
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return status;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
}

std::string SimulatedDevice::Log() const {
    return ReadWholeFile(logPath_);
}

bool SimulatedDevice::WaitForLog(const std::string& text, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    do {
        if (Log().find(text) != std::string::npos) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::string SimulatedDevice::LogValue(const std::string& lineText, const std::string& key) const {
    std::istringstream lines(Log());
    std::string line;
    while (std::getline(lines, line)) {
        if (line.find(lineText) == std::string::npos) {
            continue;
        }
        std::size_t at = line.find(" " + key + "=");
        if (at == std::string::npos) {
            return "";
        }
        std::size_t begin = at + key.size() + 2;
        if (begin < line.size() && line[begin] == '"') {
            std::size_t end = line.find('"', begin + 1);
            return line.substr(begin + 1, end == std::string::npos ? end : end - begin - 1);
        }
        return line.substr(begin, line.find(' ', begin) - begin);
    }
    return "";
}

std::string Sha256OfFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return "";
    }
    std::string bytes = ReadWholeFile(path);
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), digest);
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : digest) {
        hex += kHex[b >> 4];
        hex += kHex[b & 15];
    }
    return hex;
}
