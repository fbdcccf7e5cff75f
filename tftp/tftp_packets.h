// TFTP packets of the firmware server: big-endian helpers, the sizes rule, the OACK and DATA
// packets it sends, and the reading of one received datagram by the listener and by a transfer.
// The readers are pure functions of the datagram's bytes and never look past its length.
#pragma once

#include <cstdint>

#include "platform/net.h"

inline constexpr int kTftpBlockSize = 512;
inline constexpr int kTftpPacketSize = 1024;  // every buffer that sends or receives a datagram
inline constexpr std::uint32_t kTftpTimeoutSeconds = 5;

enum TftpOpcode : std::uint16_t {
    kTftpReadRequest = 1,
    kTftpWriteRequest = 2,
    kTftpData = 3,
    kTftpAck = 4,
    kTftpError = 5,
    kTftpOptionAck = 6,
};

// Stores the low 16 bits of `value`, most significant byte first.
void PutU16BE(std::uint8_t* destination, std::uint32_t value);
// Reads two bytes, most significant first.
std::uint16_t GetU16BE(const std::uint8_t* source);

// The sizes rule: blocks 1..finalBlock-1 carry 512 bytes, block finalBlock carries
// finalBlockLength (0..511), so the client always ends on a short block.
struct TftpSizes {
    std::uint32_t finalBlock;
    std::uint32_t finalBlockLength;
};
TftpSizes ApplySizesRule(std::uint32_t fileSize);

// Builds the OACK ("tsize" = fileSize, "timeout" = 5) into `packet` and returns its length.
int BuildOptionAck(std::uint8_t* packet, std::uint32_t fileSize);
// Builds DATA block `block` (low 16 bits) with `length` bytes of `data`; returns 4 + length.
int BuildDataBlock(std::uint8_t* packet, const std::uint8_t* data, std::uint32_t length,
                   std::uint32_t block);

// Build and send as one datagram; the result of the send is not looked at.
void SendOptionAck(platform::Socket socket, std::uint8_t* packet,
                   const platform::SocketAddress& peer, std::uint32_t fileSize);
void SendDataBlock(platform::Socket socket, std::uint8_t* packet, const std::uint8_t* data,
                   std::uint32_t length, std::uint32_t block, const platform::SocketAddress& peer);

// What the listener does with one datagram received while it waits.
enum class ListenerAction {
    Accept,        // a read request for the transfer file name
    RefuseName,    // a read request for any other name (or one without its NUL)
    WriteRequest,  // opcode 2: traced only
    DataPacket,    // opcode 3: traced only
    AckPacket,     // opcode 4: traced only
    ErrorPacket,   // opcode 5: traced only
    Ignore,        // any other opcode, or a datagram shorter than an opcode
};

// The file name of a read request as received: its bytes up to the NUL, or up to the end of the
// datagram when the NUL is missing (`terminated` false).
struct RequestedName {
    const char* text;
    int length;
    bool terminated;
};

// Reads one datagram of `length` bytes. For a read request, `name` gets the requested name; it
// is accepted only when it ends with a NUL inside the datagram and equals `transferFileName`
// byte for byte.
ListenerAction ClassifyListenerDatagram(const std::uint8_t* datagram, int length,
                                        const char* transferFileName, RequestedName* name);

// What a transfer does with one datagram received while it waits for the ACK of `nextBlock`.
enum class SessionAction {
    Stranger,     // from another address or port: traced, counts as an unanswered poll
    NotAck,       // not an ACK, or too short to be one: counts as an unanswered poll
    OtherAck,     // an ACK for another block: dropped at once, counts nothing
    ExpectedAck,  // the ACK of nextBlock
};

SessionAction ClassifySessionDatagram(const std::uint8_t* datagram, int length,
                                      std::uint32_t sourceAddress, std::uint16_t sourcePort,
                                      std::uint32_t peerAddress, std::uint16_t peerPort,
                                      std::uint32_t nextBlock);
