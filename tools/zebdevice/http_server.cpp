// The simulated device's web server.
#include "tools/zebdevice/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "tools/zebdevice/device_log.h"
#include "tools/zebdevice/digest_check.h"

namespace zebdevice {
namespace {

constexpr std::size_t kMaxRequestBytes = 65536;
constexpr int kRequestTimeoutMs = 5000;
constexpr std::size_t kOversizeBytes = 200000;  // more than the utility's 131071-byte area
constexpr std::size_t kHugeBytes = 1 << 20;
constexpr std::size_t kGarbageBytes = 8192;
constexpr std::size_t kLongValue = 10000;

struct HttpRequest {
    std::string method;
    std::string target;
    std::string authorization;  // value of the Authorization header, "" when absent
};

// Reads up to the blank line that ends the headers, bounded in size and time.
bool ReadRequest(int connection, std::string* text) {
    char buffer[4096];
    while (text->find("\r\n\r\n") == std::string::npos) {
        if (text->size() >= kMaxRequestBytes) {
            return false;
        }
        pollfd p{connection, POLLIN, 0};
        if (::poll(&p, 1, kRequestTimeoutMs) <= 0) {
            return false;
        }
        ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        text->append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool ParseRequest(const std::string& text, HttpRequest* request) {
    std::size_t lineEnd = text.find("\r\n");
    std::string line = text.substr(0, lineEnd);
    std::size_t first = line.find(' ');
    std::size_t second = line.find(' ', first == std::string::npos ? first : first + 1);
    if (first == std::string::npos || second == std::string::npos) {
        return false;
    }
    request->method = line.substr(0, first);
    request->target = line.substr(first + 1, second - first - 1);
    for (std::size_t at = lineEnd; at != std::string::npos && at + 2 < text.size();) {
        std::size_t next = text.find("\r\n", at + 2);
        std::string header = text.substr(at + 2, next == std::string::npos ? next : next - at - 2);
        if (header.size() > 14 && strncasecmp(header.c_str(), "Authorization:", 14) == 0) {
            request->authorization = header.substr(14);
        }
        at = next;
    }
    return true;
}

void SendAll(int connection, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<std::size_t>(n);
    }
}

std::string Answer(const DeviceSettings& settings, int code, const char* reason,
                   const std::string& extraHeaders, const std::string& body) {
    const char* version = settings.fault == HttpFault::Http10 ? "HTTP/1.0" : "HTTP/1.1";
    std::string answer =
        std::string(version) + " " + std::to_string(code) + " " + reason + "\r\n" + extraHeaders +
        "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    if (settings.fault == HttpFault::BareLf) {
        std::string bare;
        for (char c : answer) {
            if (c != '\r') {
                bare += c;
            }
        }
        answer = bare;
    }
    return answer;
}

// Bytes of every value, NUL included, the same with every answer.
std::string Garbage() {
    std::mt19937 random(20240611);
    std::string bytes(kGarbageBytes, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random() & 0xff);
    }
    return bytes;
}

// A challenge whose every value runs to 10,000 characters; the issued nonce comes first, so
// that each challenge still differs from the last within the first characters.
std::string LongChallengeHeader(const std::string& nonce) {
    auto value = [](const std::string& start, char fill) {
        return start + std::string(kLongValue - start.size(), fill);
    };
    return "WWW-Authenticate: Digest realm=\"" + value("ZEB Device", 'r') + "\", nonce=\"" +
           value(nonce, 'n') + "\", algorithm=\"" + value("MD5", 'a') + "\", qop=\"" +
           value("auth", 'q') + "\", opaque=\"" + value("opaque", 'o') + "\"\r\n";
}

std::string StatusPage(const DeviceSettings& settings, DeviceState* state) {
    const std::pair<const char*, std::string> rows[] = {
        {"Product Name:", settings.product},           {"MAC Address:", settings.mac},
        {"Software Version:", ReportedVersion(state)}, {"Hardware Version:", settings.hardware},
        {"Serial Number:", settings.serial},
    };
    std::string body =
        "<html><head><title>Advanced</title></head><body>\n<h1>Device Status</h1>\n<table>\n";
    for (const auto& [label, value] : rows) {
        body += std::string("<tr><td>") + label + "</td><td>" + value + "</td></tr>\n";
    }
    body += "</table>\n";
    if (settings.fault == HttpFault::Oversize || settings.fault == HttpFault::Huge) {
        body += "<!-- ";
        body.append(settings.fault == HttpFault::Huge ? kHugeBytes : kOversizeBytes, 'x');
        body += " -->\n";
    }
    return body + "</body></html>\n";
}

// Parses "/admin/upgrade?tftp://A.B.C.D:PORT/NAME".
bool ParseUpgradeTarget(const std::string& target, std::uint32_t* address, std::uint16_t* port,
                        std::string* name) {
    static const std::string kPrefix = "/admin/upgrade?tftp://";
    if (target.compare(0, kPrefix.size(), kPrefix) != 0) {
        return false;
    }
    unsigned a, b, c, d, p;
    int used = 0;
    if (std::sscanf(target.c_str() + kPrefix.size(), "%3u.%3u.%3u.%3u:%5u%n", &a, &b, &c, &d, &p,
                    &used) != 5 ||
        a > 255 || b > 255 || c > 255 || d > 255 || p == 0 || p > 65535) {
        return false;
    }
    *name = target.substr(kPrefix.size() + static_cast<std::size_t>(used));
    if (name->empty() || (*name)[0] != '/') {
        return false;
    }
    *address = a << 24 | b << 16 | c << 8 | d;
    *port = static_cast<std::uint16_t>(p);
    return true;
}

void HandleConnection(int connection, const DeviceSettings& settings, DeviceState* state) {
    if (RefusesHttp(state)) {
        LogEvent("refused connection: not answering");
        return;
    }
    std::string text;
    HttpRequest request;
    if (!ReadRequest(connection, &text) || !ParseRequest(text, &request)) {
        LogEvent("bad request: %zu bytes without a complete request line and headers", text.size());
        return;
    }

    const bool isProtected = !settings.password.empty();
    const char* auth = "none";
    bool authorised = !isProtected;
    if (isProtected && !request.authorization.empty()) {
        DigestVerdict verdict =
            VerifyDigest(settings, state, request.authorization, request.method, request.target);
        auto fields = ParseDigestCredentials(request.authorization);
        if (verdict.ok) {
            LogEvent("verify ok user=%s nc=%s", fields["username"].c_str(), fields["nc"].c_str());
        } else {
            LogEvent("verify bad user=%s nc=%s reason=\"%s\"", fields["username"].c_str(),
                     fields["nc"].c_str(), verdict.reason.c_str());
        }
        authorised = verdict.ok;
        auth = verdict.ok ? "ok" : "bad";
    }
    LogEvent("request %s %s auth=%s", request.method.c_str(), request.target.c_str(), auth);

    if (settings.fault == HttpFault::Silent) {
        LogEvent("fault silent: closing without an answer");
        return;
    }
    if (settings.fault == HttpFault::Stall) {
        LogEvent("fault stall: waiting %d ms", settings.stallMs);
        std::this_thread::sleep_for(std::chrono::milliseconds(settings.stallMs));
    }
    if (settings.fault == HttpFault::Garbage) {
        LogEvent("fault garbage: %zu random bytes", kGarbageBytes);
        SendAll(connection, Garbage());
        return;
    }
    if (settings.fault == HttpFault::Truncated) {
        LogEvent("fault truncated: the status line alone, cut after the version");
        SendAll(connection, "HTTP/1.1");
        return;
    }

    std::string answer;
    std::uint32_t serverAddress = 0;
    std::uint16_t serverPort = 0;
    std::string fileName;
    const bool isStatus = request.target == "/admin/advanced";
    const bool isUpgrade = request.target.rfind("/admin/upgrade?", 0) == 0;
    if (request.method != "GET") {
        answer = Answer(settings, 405, "Method Not Allowed", "Allow: GET\r\n",
                        "<html><body>Method Not Allowed</body></html>\n");
    } else if (settings.fault == HttpFault::NotFound || (!isStatus && !isUpgrade)) {
        answer = Answer(settings, 404, "Not Found", "",
                        "<html><body><h1>404 Not Found</h1></body></html>\n");
    } else if (!authorised) {
        std::string nonce = IssueNonce(settings, state);
        answer =
            Answer(settings, 401, "Unauthorized",
                   settings.fault == HttpFault::LongChallenge ? LongChallengeHeader(nonce)
                                                              : ChallengeHeader(settings, nonce),
                   "<html><body><h1>401 Unauthorized</h1></body></html>\n");
        LogEvent("challenge nonce=%s", nonce.c_str());
    } else if (isStatus) {
        answer = Answer(settings, 200, "OK", "", StatusPage(settings, state));
    } else if (ParseUpgradeTarget(request.target, &serverAddress, &serverPort, &fileName)) {
        answer =
            Answer(settings, 200, "OK", "", "<html><body>Firmware upgrade started</body></html>\n");
        LogEvent("upgrade tftp://%u.%u.%u.%u:%u%s", serverAddress >> 24,
                 (serverAddress >> 16) & 255, (serverAddress >> 8) & 255, serverAddress & 255,
                 serverPort, fileName.c_str());
    } else {
        LogEvent("upgrade refused: cannot read the tftp:// address");
        answer = Answer(settings, 400, "Bad Request", "",
                        "<html><body>Bad upgrade request</body></html>\n");
    }
    SendAll(connection, answer);

    if (!fileName.empty()) {
        if (!settings.fetch) {
            LogEvent("fetch skipped (--no-fetch)");
        } else if (!StartUpgrade(settings, state, serverAddress, serverPort, fileName)) {
            LogEvent("upgrade ignored: flashing");
        }
    }
}

}  // namespace

int OpenHttpListener(const DeviceSettings& settings) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0) {
        std::fprintf(stderr, "zebdevice: cannot open a socket: %s\n", std::strerror(errno));
        return -1;
    }
    int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(settings.addressHostOrder);
    sa.sin_port = htons(static_cast<std::uint16_t>(settings.port));
    if (::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::listen(listener, 8) != 0) {
        std::fprintf(
            stderr, "zebdevice: cannot listen on %s:%d: %s%s\n", settings.address.c_str(),
            settings.port, std::strerror(errno),
            errno == EACCES ? " (ports below 1024 need root or CAP_NET_BIND_SERVICE)" : "");
        ::close(listener);
        return -1;
    }
    socklen_t length = sizeof sa;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &length);
    LogEvent("listening %s:%u", settings.address.c_str(), ntohs(sa.sin_port));
    return listener;
}

void ServeHttp(int listener, const DeviceSettings& settings, DeviceState* state) {
    for (;;) {
        int connection = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        HandleConnection(connection, settings, state);
        ::close(connection);
    }
}

}  // namespace zebdevice
