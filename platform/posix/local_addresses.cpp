// This computer's IPv4 addresses on POSIX: the interfaces that are up, in interface order, with
// loopback addresses last (a device can never reach those, but a simulator on loopback can).
#include "platform/local_addresses.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/common/shared.h"

namespace platform {
int ListLocalIPv4Addresses(std::uint32_t* networkOrder, int max) {
    int overridden = 0;
    if (shared::TakeLocalAddressesOverride(networkOrder, max, &overridden)) {
        return overridden;
    }
    std::vector<std::uint32_t> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return 0;
    }
    std::vector<std::uint32_t> loopback;
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET ||
            (i->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        std::uint32_t a = reinterpret_cast<sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        ((i->ifa_flags & IFF_LOOPBACK) != 0 ? loopback : found).push_back(a);
    }
    ::freeifaddrs(list);
    found.insert(found.end(), loopback.begin(), loopback.end());
    int n = 0;
    for (std::uint32_t a : found) {
        if (n == max) {
            break;
        }
        networkOrder[n++] = a;
    }
    return n;
}

std::uint32_t LocalAddressToward(std::uint32_t remoteNetworkOrder) {
    // Connecting a UDP socket sends nothing; it only makes the system choose the route.
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in remote;
    std::memset(&remote, 0, sizeof remote);
    remote.sin_family = AF_INET;
    remote.sin_port = htons(9);  // any nonzero port will do
    remote.sin_addr.s_addr = remoteNetworkOrder;
    std::uint32_t local = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0) {
        sockaddr_in name;
        socklen_t length = sizeof name;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&name), &length) == 0) {
            local = name.sin_addr.s_addr;
        }
    }
    ::close(fd);
    return local;
}

}  // namespace platform
