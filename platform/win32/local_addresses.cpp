// This computer's IPv4 addresses on Windows: the host name resolved by the system's resolver, in
// the resolver's order.
#include "platform/local_addresses.h"

#include <winsock.h>

#include <cstring>

#include "platform/common/shared.h"

namespace platform {
namespace {

constexpr int kHostNameBytes = 128;  // the name and its terminator

}  // namespace

int ListLocalIPv4Addresses(std::uint32_t* networkOrder, int max) {
    int overridden = 0;
    if (shared::TakeLocalAddressesOverride(networkOrder, max, &overridden)) {
        return overridden;
    }
    char name[kHostNameBytes] = {};
    // A failure leaves the name empty; resolving "" then gives this computer's addresses or
    // nothing, and either way the list is what the resolver says.
    ::gethostname(name, kHostNameBytes);
    name[kHostNameBytes - 1] = '\0';
    const hostent* host = ::gethostbyname(name);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4) {
        return 0;
    }
    int n = 0;
    for (char** entry = host->h_addr_list; *entry != nullptr && n < max; ++entry) {
        std::memcpy(&networkOrder[n++], *entry, 4);
    }
    return n;
}

std::uint32_t LocalAddressToward(std::uint32_t remoteNetworkOrder) {
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) {
        return 0;
    }
    sockaddr_in remote;
    std::memset(&remote, 0, sizeof remote);
    remote.sin_family = AF_INET;
    remote.sin_port = htons(9);  // any port: connecting a UDP socket sends nothing
    remote.sin_addr.s_addr = remoteNetworkOrder;
    std::uint32_t local = 0;
    if (::connect(s, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
        sockaddr_in name;
        int length = sizeof name;
        if (::getsockname(s, reinterpret_cast<sockaddr*>(&name), &length) == 0) {
            local = name.sin_addr.s_addr;
        }
    }
    ::closesocket(s);
    return local;
}

}  // namespace platform
