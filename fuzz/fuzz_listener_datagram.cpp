// One datagram reaching the TFTP listener while it waits: the opcode dispatch and the match of a
// read request's name against the transfer file name, then the copy of that name the listener
// keeps for the transfer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "tftp/tftp_packets.h"

namespace {

constexpr const char* kTransferFileName = "/zeb3a7.bi1";

void CheckOne(const std::uint8_t* datagram, int length, const char* transferFileName) {
    RequestedName name{};
    ListenerAction action = ClassifyListenerDatagram(datagram, length, transferFileName, &name);
    if (length < 2) {
        FUZZ_CHECK(action == ListenerAction::Ignore);
        return;
    }
    const std::uint16_t opcode = static_cast<std::uint16_t>(datagram[0] << 8 | datagram[1]);
    switch (action) {
        case ListenerAction::Accept:
        case ListenerAction::RefuseName: {
            FUZZ_CHECK(opcode == kTftpReadRequest);
            const char* start = reinterpret_cast<const char*>(datagram + 2);
            FUZZ_CHECK(name.text == start);
            FUZZ_CHECK(name.length >= 0 && name.length <= length - 2);
            FUZZ_CHECK(name.terminated == (name.length < length - 2));
            if (name.terminated) {
                FUZZ_CHECK(start[name.length] == '\0');
            }
            FUZZ_CHECK(std::memchr(start, '\0', static_cast<std::size_t>(name.length)) == nullptr);
            const bool same = name.terminated && transferFileName[0] != '\0' &&
                              std::strcmp(start, transferFileName) == 0;
            FUZZ_CHECK((action == ListenerAction::Accept) == same);
            // The listener keeps the name as text in a buffer as large as a datagram.
            char kept[kTftpPacketSize];
            std::memcpy(kept, name.text, static_cast<std::size_t>(name.length));
            kept[name.length] = '\0';
            break;
        }
        case ListenerAction::WriteRequest:
            FUZZ_CHECK(opcode == kTftpWriteRequest);
            break;
        case ListenerAction::DataPacket:
            FUZZ_CHECK(opcode == kTftpData);
            break;
        case ListenerAction::AckPacket:
            FUZZ_CHECK(opcode == kTftpAck);
            break;
        case ListenerAction::ErrorPacket:
            FUZZ_CHECK(opcode == kTftpError);
            break;
        case ListenerAction::Ignore:
            FUZZ_CHECK(opcode < kTftpReadRequest || opcode > kTftpError);
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > static_cast<std::size_t>(kTftpPacketSize)) {
        return 0;  // the receive cuts a longer datagram to the buffer's size
    }
    // The datagram alone in an area of its exact size, so that a read past it is caught.
    std::unique_ptr<std::uint8_t[]> datagram(new std::uint8_t[size]);
    if (size > 0) {
        std::memcpy(datagram.get(), data, size);
    }
    CheckOne(datagram.get(), static_cast<int>(size), kTransferFileName);
    // Before the address dialog has made a name, nothing is accepted.
    CheckOne(datagram.get(), static_cast<int>(size), "");
    return 0;
}
