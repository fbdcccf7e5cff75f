// Transfer benchmark, run by hand (bench/run_tftp_bench.sh): the default image over loopback
// from our TFTP listener and from a reference server to the simulator's TFTP client, timed from
// the OACK to the last ACK; the ideal time from the measured loopback round trip; and the CPU
// time the listener spends while it waits for a read request.
//
//   tftp_transfer IMAGE [REFERENCE_PORT [RUNS]]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/upgrade_state.h"
#include "platform/net.h"
#include "tftp/tftp_listener.h"
#include "tools/zebdevice/device_log.h"
#include "tools/zebdevice/tftp_fetch.h"

namespace {

constexpr std::uint32_t kServerAddress = 0x7F000001;  // 127.0.0.1
constexpr std::uint32_t kDeviceAddress = 0x7F000002;  // 127.0.0.2
constexpr const char* kFileName = "/zebbench.bi1";
constexpr int kIdleSeconds = 5;

std::vector<std::uint8_t> gImage;

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Starts our listener in a child process serving gImage; returns its pid and port.
pid_t StartOurServer(std::uint16_t* port) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        gUpgradeState.targetImage.bytes = gImage.data();
        gUpgradeState.targetImage.size = static_cast<std::uint32_t>(gImage.size());
        gUpgradeState.stage.store(Target);
        std::snprintf(gUpgradeState.deviceAddressText, sizeof gUpgradeState.deviceAddressText,
                      "127.0.0.2");
        gUpgradeState.transferFileName.Set(kFileName);
        std::uint16_t bound = StartTftpListener(kServerAddress);
        ssize_t written = ::write(fds[1], &bound, sizeof bound);
        (void)written;
        for (;;) {
            ::pause();
        }
    }
    ::close(fds[1]);
    ssize_t got = ::read(fds[0], port, sizeof *port);
    ::close(fds[0]);
    return got == sizeof *port ? pid : -1;
}

void StopServer(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

double FetchSeconds(std::uint16_t port, const char* name) {
    zebdevice::FetchRequest request;
    request.deviceAddress = kDeviceAddress;
    request.serverAddress = kServerAddress;
    request.serverPort = port;
    request.fileName = name;
    zebdevice::FetchResult result = zebdevice::FetchFirmware(request);
    if (!result.complete || result.image != gImage) {
        std::fprintf(stderr, "transfer from port %u failed: %s\n", port, result.failure.c_str());
        std::exit(1);
    }
    return result.seconds;
}

// Median round trip of a 516-byte datagram and a 4-byte answer between two loopback sockets.
double LoopbackRoundTrip() {
    int a = ::socket(AF_INET, SOCK_DGRAM, 0);
    int b = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(kServerAddress);
    socklen_t len = sizeof sa;
    ::bind(b, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    ::getsockname(b, reinterpret_cast<sockaddr*>(&sa), &len);
    constexpr int kTrips = 3000;
    std::thread echo([b] {
        char buffer[1024];
        for (int i = 0; i < kTrips; ++i) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            ::recvfrom(b, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                       &fromLength);
            ::sendto(b, buffer, 4, 0, reinterpret_cast<sockaddr*>(&from), fromLength);
        }
    });
    std::vector<double> trips;
    char packet[516] = {};
    char answer[16];
    for (int i = 0; i < kTrips; ++i) {
        auto start = std::chrono::steady_clock::now();
        ::sendto(a, packet, sizeof packet, 0, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::recv(a, answer, sizeof answer, 0);
        trips.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    echo.join();
    ::close(a);
    ::close(b);
    return Median(trips);
}

// CPU time (share of one core) that a waiting listener uses, from the child's own rusage.
double IdleCpuShare() {
    int fds[2];
    if (::pipe(fds) != 0) {
        return -1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        gUpgradeState.transferFileName.Set(kFileName);
        StartTftpListener(kServerAddress);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // settled in its loop
        rusage before{};
        rusage after{};
        ::getrusage(RUSAGE_SELF, &before);
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
        ::getrusage(RUSAGE_SELF, &after);
        double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
        double cpu = seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) -
                     seconds(before.ru_stime);
        double share = cpu / wall;
        ssize_t written = ::write(fds[1], &share, sizeof share);
        (void)written;
        ::_exit(0);
    }
    ::close(fds[1]);
    double share = -1;
    ssize_t got = ::read(fds[0], &share, sizeof share);
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return got == sizeof share ? share : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tftp_transfer IMAGE [REFERENCE_PORT [RUNS]]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    gImage.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (gImage.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    int referencePort = argc > 2 ? std::atoi(argv[2]) : 0;
    int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 7;
    std::string referenceName = std::string(argv[1]).substr(std::string(argv[1]).rfind('/') + 1);

    zebdevice::OpenLog("/dev/null");  // the client's own log lines are not wanted here
    std::vector<double> ours;
    std::vector<double> reference;
    for (int i = 0; i < runs; ++i) {
        std::uint16_t port = 0;
        pid_t server = StartOurServer(&port);
        if (server < 0) {
            std::fprintf(stderr, "our server did not start\n");
            return 1;
        }
        ours.push_back(FetchSeconds(port, kFileName));
        StopServer(server);
        if (referencePort > 0) {
            reference.push_back(
                FetchSeconds(static_cast<std::uint16_t>(referencePort), referenceName.c_str()));
        }
    }

    std::uint32_t blocks = static_cast<std::uint32_t>(gImage.size() / 512 + 1);
    double roundTrip = LoopbackRoundTrip();
    double ideal = (blocks + 1) * roundTrip;  // the OACK and every block, one round trip each
    std::printf("image: %zu bytes, %u blocks, %d runs\n", gImage.size(), blocks, runs);
    std::printf("loopback round trip: %.1f us; ideal transfer %.4f s\n", roundTrip * 1e6, ideal);
    std::printf("ours:      median %.4f s (min %.4f, max %.4f), %.2fx ideal\n", Median(ours),
                *std::min_element(ours.begin(), ours.end()),
                *std::max_element(ours.begin(), ours.end()), Median(ours) / ideal);
    if (!reference.empty()) {
        std::printf("reference: median %.4f s (min %.4f, max %.4f), %.2fx ideal\n",
                    Median(reference), *std::min_element(reference.begin(), reference.end()),
                    *std::max_element(reference.begin(), reference.end()),
                    Median(reference) / ideal);
        std::printf("ours / reference: %.2f\n", Median(ours) / Median(reference));
    }
    std::printf("waiting listener CPU: %.2f%% of one core over %d s\n", IdleCpuShare() * 100,
                kIdleSeconds);
    return 0;
}
