#include "tftp/tftp_packets.h"

#include <charconv>
#include <cstring>

void PutU16BE(std::uint8_t* destination, std::uint32_t value) {
    destination[0] = static_cast<std::uint8_t>(value >> 8);
    destination[1] = static_cast<std::uint8_t>(value);
}

std::uint16_t GetU16BE(const std::uint8_t* source) {
    return static_cast<std::uint16_t>((source[0] << 8) | source[1]);
}

TftpSizes ApplySizesRule(std::uint32_t fileSize) {
    return TftpSizes{fileSize / kTftpBlockSize + 1, fileSize % kTftpBlockSize};
}

namespace {

// Appends `text` and its NUL at `at`; returns the position after the NUL.
std::uint8_t* PutText(std::uint8_t* at, const char* text) {
    std::size_t length = std::strlen(text) + 1;
    std::memcpy(at, text, length);
    return at + length;
}

std::uint8_t* PutDecimal(std::uint8_t* at, std::uint32_t value) {
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    *end = '\0';
    return PutText(at, digits);
}

}  // namespace

int BuildOptionAck(std::uint8_t* packet, std::uint32_t fileSize) {
    PutU16BE(packet, kTftpOptionAck);
    std::uint8_t* at = PutText(packet + 2, "tsize");
    at = PutDecimal(at, fileSize);
    at = PutText(at, "timeout");
    at = PutDecimal(at, kTftpTimeoutSeconds);
    return static_cast<int>(at - packet);
}

int BuildDataBlock(std::uint8_t* packet, const std::uint8_t* data, std::uint32_t length,
                   std::uint32_t block) {
    PutU16BE(packet, kTftpData);
    PutU16BE(packet + 2, block);
    if (length > 0) {
        std::memcpy(packet + 4, data, length);
    }
    return 4 + static_cast<int>(length);
}

void SendOptionAck(platform::Socket socket, std::uint8_t* packet,
                   const platform::SocketAddress& peer, std::uint32_t fileSize) {
    int length = BuildOptionAck(packet, fileSize);
    platform::SendDatagram(socket, packet, length, peer);
}

void SendDataBlock(platform::Socket socket, std::uint8_t* packet, const std::uint8_t* data,
                   std::uint32_t length, std::uint32_t block, const platform::SocketAddress& peer) {
    int packetLength = BuildDataBlock(packet, data, length, block);
    platform::SendDatagram(socket, packet, packetLength, peer);
}

ListenerAction ClassifyListenerDatagram(const std::uint8_t* datagram, int length,
                                        const char* transferFileName, RequestedName* name) {
    if (length < 2) {
        return ListenerAction::Ignore;
    }
    switch (GetU16BE(datagram)) {
        case kTftpReadRequest: {
            const char* text = reinterpret_cast<const char*>(datagram + 2);
            int room = length - 2;
            const void* nul = std::memchr(text, '\0', static_cast<std::size_t>(room));
            name->text = text;
            name->terminated = nul != nullptr;
            name->length =
                nul != nullptr ? static_cast<int>(static_cast<const char*>(nul) - text) : room;
            // A name cut off by the end of the datagram never matches, even if its bytes do; nor
            // does anything while no transfer file name is set.
            bool equal = name->terminated && transferFileName[0] != '\0' &&
                         static_cast<std::size_t>(name->length) == std::strlen(transferFileName) &&
                         std::memcmp(text, transferFileName, name->length) == 0;
            return equal ? ListenerAction::Accept : ListenerAction::RefuseName;
        }
        case kTftpWriteRequest:
            return ListenerAction::WriteRequest;
        case kTftpData:
            return ListenerAction::DataPacket;
        case kTftpAck:
            return ListenerAction::AckPacket;
        case kTftpError:
            return ListenerAction::ErrorPacket;
        default:
            return ListenerAction::Ignore;
    }
}

SessionAction ClassifySessionDatagram(const std::uint8_t* datagram, int length,
                                      std::uint32_t sourceAddress, std::uint16_t sourcePort,
                                      std::uint32_t peerAddress, std::uint16_t peerPort,
                                      std::uint32_t nextBlock) {
    if (sourceAddress != peerAddress || sourcePort != peerPort) {
        return SessionAction::Stranger;
    }
    if (length < 4 || GetU16BE(datagram) != kTftpAck) {
        return SessionAction::NotAck;
    }
    return GetU16BE(datagram + 2) == nextBlock ? SessionAction::ExpectedAck
                                               : SessionAction::OtherAck;
}
