// One datagram reaching a running transfer: the check of its source against the peer of the
// read request and the reading of an ACK. The first three input bytes choose the block awaited
// and whether the source address or port differ from the peer's; the rest is the datagram.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "tftp/tftp_packets.h"

namespace {

constexpr std::uint32_t kPeerAddress = 0x7f0000aa;
constexpr std::uint16_t kPeerPort = 40000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3 || size - 3 > static_cast<std::size_t>(kTftpPacketSize)) {
        return 0;
    }
    // Blocks run from 0 (the OACK) to at most 65535; the counter is compared in full.
    const std::uint32_t nextBlock = static_cast<std::uint32_t>(data[0] << 8 | data[1]);
    const bool otherAddress = (data[2] & 1) != 0;
    const bool otherPort = (data[2] & 2) != 0;
    const std::uint32_t sourceAddress = otherAddress ? kPeerAddress + 1 : kPeerAddress;
    const std::uint16_t sourcePort = otherPort ? kPeerPort + 1 : kPeerPort;

    const std::size_t length = size - 3;
    std::unique_ptr<std::uint8_t[]> datagram(new std::uint8_t[length]);
    if (length > 0) {
        std::memcpy(datagram.get(), data + 3, length);
    }
    SessionAction action =
        ClassifySessionDatagram(datagram.get(), static_cast<int>(length), sourceAddress, sourcePort,
                                kPeerAddress, kPeerPort, nextBlock);

    if (otherAddress || otherPort) {
        FUZZ_CHECK(action == SessionAction::Stranger);
        return 0;
    }
    const bool isAck = length >= 4 && datagram[0] == 0 && datagram[1] == kTftpAck;
    if (!isAck) {
        FUZZ_CHECK(action == SessionAction::NotAck);
        return 0;
    }
    const std::uint32_t block = static_cast<std::uint32_t>(datagram[2] << 8 | datagram[3]);
    FUZZ_CHECK(action ==
               (block == nextBlock ? SessionAction::ExpectedAck : SessionAction::OtherAck));
    return 0;
}
