// zebdevice: a simulated ZEB device for trying the utility and for its tests. It serves the
// device's status page and upgrade command over HTTP (optionally behind Digest authentication),
// fetches the firmware over TFTP when told to, "flashes" it and then reports its version.
#include <arpa/inet.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/zebdevice/device_log.h"
#include "tools/zebdevice/device_state.h"
#include "tools/zebdevice/http_server.h"

namespace {

using zebdevice::AlgorithmMode;
using zebdevice::DeviceSettings;
using zebdevice::HttpFault;
using zebdevice::QopMode;

constexpr const char* kUsage =
    "usage: zebdevice [options]\n"
    "A simulated ZEB device: web server on --address:--port, TFTP client for upgrades.\n"
    "\n"
    "  --address A.B.C.D      address to listen on and fetch from (default 127.0.0.2)\n"
    "  --port N               web server port (default 80; 0 picks a free port). Ports below\n"
    "                         1024 need root or CAP_NET_BIND_SERVICE on Linux\n"
    "  --log FILE             append the event log to FILE instead of standard output\n"
    "\n"
    "Identity shown on the status page /admin/advanced:\n"
    "  --product TEXT  --mac TEXT  --serial TEXT  --hardware TEXT\n"
    "  --version V            software version before an upgrade (default 3.0.18.0411)\n"
    "\n"
    "Digest authentication (on when --password is given):\n"
    "  --password P  --user U (default admin)  --realm R (default \"ZEB Device\")\n"
    "  --qop none|auth|auth-int|list      (default auth; list offers \"auth,auth-int\")\n"
    "  --algorithm none|MD5|MD5-sess      (default MD5)\n"
    "  --opaque TEXT                      (default none)\n"
    "  --nonce fresh|fixed                (default fresh: a new nonce with every challenge)\n"
    "\n"
    "Upgrade (GET /admin/upgrade?tftp://A.B.C.D:PORT/NAME):\n"
    "  --no-fetch             acknowledge the command but fetch nothing\n"
    "  --flash-seconds N      refuse HTTP for N seconds after a fetch (default 3)\n"
    "  --after-flash-version V  report V after flashing instead of the image's version\n"
    "  --after-flash-silent   never answer HTTP again after flashing\n"
    "\n"
    "HTTP faults:\n"
    "  --fault silent|http10|404|oversize|stall   --stall-ms N (with stall)\n"
    "  --fault garbage|truncated|huge|long-challenge|bare-lf\n"
    "                         answer random bytes, a status line cut after HTTP/1.1, a 1 MB\n"
    "                         page, challenge values of 10,000 characters (with --password),\n"
    "                         lines ended by LF alone\n"
    "\n"
    "TFTP faults:\n"
    "  --tftp-drop SHARE (0..1)  --tftp-seed N  --tftp-duplicate-acks  --tftp-never-ack-oack\n"
    "  --tftp-bad-first-request wrong|case  --tftp-stray  --tftp-stop-after BLOCK\n"
    "  --tftp-two-ports  --tftp-timeout-ms N (default 5000)\n"
    "  --tftp-faults-first-only   the TFTP faults apply to the first fetch only\n"
    "\n"
    "  --help                 this text\n"
    "SIGTERM or SIGINT ends the simulator with exit status 0.\n";

bool ParseInt(const std::string& text, int minimum, int maximum, int* value) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < minimum || v > maximum) {
        return false;
    }
    *value = static_cast<int>(v);
    return true;
}

// Applies one option; false with a message in *error when it is unknown or its value is bad.
bool ApplyOption(const std::string& name, const std::string* value, DeviceSettings* s,
                 std::string* error) {
    // Options without a value.
    const struct {
        const char* name;
        bool* flag;
        bool set;
    } kSwitches[] = {
        {"--no-fetch", &s->fetch, false},
        {"--after-flash-silent", &s->afterFlashSilent, true},
        {"--tftp-duplicate-acks", &s->tftpFaults.duplicateAcks, true},
        {"--tftp-never-ack-oack", &s->tftpFaults.neverAckOptionAck, true},
        {"--tftp-stray", &s->tftpFaults.strayDatagrams, true},
        {"--tftp-two-ports", &s->tftpFaults.twoPortRequests, true},
        {"--tftp-faults-first-only", &s->tftpFaultsFirstOnly, true},
    };
    for (const auto& sw : kSwitches) {
        if (name == sw.name) {
            *sw.flag = sw.set;
            return true;
        }
    }
    // Options with a text value.
    const struct {
        const char* name;
        std::string* text;
    } kTexts[] = {
        {"--product", &s->product}, {"--mac", &s->mac},
        {"--serial", &s->serial},   {"--hardware", &s->hardware},
        {"--version", &s->version}, {"--password", &s->password},
        {"--user", &s->user},       {"--realm", &s->realm},
        {"--opaque", &s->opaque},   {"--after-flash-version", &s->afterFlashVersion},
        {"--log", &s->logPath},
    };
    for (const auto& t : kTexts) {
        if (name == t.name) {
            if (value == nullptr) {
                *error = name + " needs a value";
                return false;
            }
            *t.text = *value;
            return true;
        }
    }
    if (value == nullptr) {
        *error = "unknown option " + name;
        return false;
    }
    const std::string& v = *value;
    bool ok = true;
    if (name == "--address") {
        in_addr a;
        ok = ::inet_pton(AF_INET, v.c_str(), &a) == 1;
        s->address = v;
        s->addressHostOrder = ntohl(a.s_addr);
    } else if (name == "--port") {
        ok = ParseInt(v, 0, 65535, &s->port);
    } else if (name == "--qop") {
        ok = v == "none" || v == "auth" || v == "auth-int" || v == "list";
        s->qop = v == "none"       ? QopMode::None
                 : v == "auth-int" ? QopMode::AuthInt
                 : v == "list"     ? QopMode::List
                                   : QopMode::Auth;
    } else if (name == "--algorithm") {
        ok = v == "none" || v == "MD5" || v == "MD5-sess";
        s->algorithm = v == "none"       ? AlgorithmMode::None
                       : v == "MD5-sess" ? AlgorithmMode::Md5Sess
                                         : AlgorithmMode::Md5;
    } else if (name == "--nonce") {
        ok = v == "fresh" || v == "fixed";
        s->fixedNonce = v == "fixed";
    } else if (name == "--fault") {
        const struct {
            const char* name;
            HttpFault fault;
        } kFaults[] = {
            {"silent", HttpFault::Silent},   {"http10", HttpFault::Http10},
            {"404", HttpFault::NotFound},    {"oversize", HttpFault::Oversize},
            {"stall", HttpFault::Stall},     {"none", HttpFault::None},
            {"garbage", HttpFault::Garbage}, {"truncated", HttpFault::Truncated},
            {"huge", HttpFault::Huge},       {"long-challenge", HttpFault::LongChallenge},
            {"bare-lf", HttpFault::BareLf}};
        ok = false;
        for (const auto& f : kFaults) {
            if (v == f.name) {
                s->fault = f.fault;
                ok = true;
            }
        }
    } else if (name == "--stall-ms") {
        ok = ParseInt(v, 0, 600000, &s->stallMs);
    } else if (name == "--flash-seconds") {
        ok = ParseInt(v, 0, 3600, &s->flashSeconds);
    } else if (name == "--tftp-drop") {
        char* end = nullptr;
        double share = std::strtod(v.c_str(), &end);
        ok = !v.empty() && *end == '\0' && share >= 0.0 && share <= 1.0;
        s->tftpFaults.dropDataShare = share;
    } else if (name == "--tftp-seed") {
        int seed = 0;
        ok = ParseInt(v, 0, 2147483647, &seed);
        s->tftpFaults.dropSeed = static_cast<std::uint32_t>(seed);
    } else if (name == "--tftp-bad-first-request") {
        ok = v == "wrong" || v == "case";
        s->tftpFaults.badFirstRequest = v;
    } else if (name == "--tftp-stop-after") {
        ok = ParseInt(v, 0, 65535, &s->tftpFaults.stopAckingAfterBlock);
    } else if (name == "--tftp-timeout-ms") {
        ok = ParseInt(v, 1, 3600000, &s->tftpTimeoutMs);
    } else {
        *error = "unknown option " + name;
        return false;
    }
    if (!ok) {
        *error = "bad value for " + name + ": " + v;
    }
    return ok;
}

bool TakesValue(const std::string& name) {
    static const char* const kSwitches[] = {
        "--no-fetch",   "--after-flash-silent", "--tftp-duplicate-acks",    "--tftp-never-ack-oack",
        "--tftp-stray", "--tftp-two-ports",     "--tftp-faults-first-only", "--help"};
    for (const char* sw : kSwitches) {
        if (name == sw) {
            return false;
        }
    }
    return true;
}

void EndOnSignal(int) {
    ::_exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    static DeviceSettings settings;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::string name = arg;
        std::string value;
        bool hasValue = false;
        if (std::size_t equals = arg.find('='); arg.rfind("--", 0) == 0 && equals != arg.npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            hasValue = true;
        } else if (TakesValue(arg) && i + 1 < argc) {
            value = argv[++i];
            hasValue = true;
        }
        std::string error;
        if (!ApplyOption(name, hasValue ? &value : nullptr, &settings, &error)) {
            std::fprintf(stderr, "zebdevice: %s\n(try --help)\n", error.c_str());
            return 2;
        }
    }
    if (!zebdevice::OpenLog(settings.logPath)) {
        std::fprintf(stderr, "zebdevice: cannot open the log file %s\n", settings.logPath.c_str());
        return 2;
    }

    struct sigaction action {};
    action.sa_handler = EndOnSignal;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    static zebdevice::DeviceState state;
    zebdevice::InitDeviceState(settings, &state);
    int listener = zebdevice::OpenHttpListener(settings);
    if (listener < 0) {
        return 1;
    }
    zebdevice::ServeHttp(listener, settings, &state);
}
