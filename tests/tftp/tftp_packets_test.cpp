// The TFTP packets the server builds and its reading of single received datagrams.
#include "tftp/tftp_packets.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    return out;
}

// The bytes of a literal without the NUL the compiler adds after it.
template <std::size_t N>
std::string Raw(const char (&text)[N]) {
    return std::string(text, N - 1);
}

// Raw bytes of a datagram from text that may hold NULs.
Bytes Datagram(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(TftpPacketsTest, BigEndianStoreAndLoad) {
    std::uint8_t bytes[2];
    PutU16BE(bytes, 0x1234);
    EXPECT_EQ(bytes[0], 0x12);
    EXPECT_EQ(bytes[1], 0x34);
    PutU16BE(bytes, 0x1ABCD);  // only the low 16 bits travel
    EXPECT_EQ(bytes[0], 0xAB);
    EXPECT_EQ(bytes[1], 0xCD);
    const std::uint8_t high[2] = {0xFF, 0x01};
    EXPECT_EQ(GetU16BE(high), 0xFF01);
}

TEST(TftpPacketsTest, SizesRule) {
    struct Case {
        std::uint32_t size, finalBlock, finalBlockLength;
    };
    const Case cases[] = {
        {759100, 1483, 316}, {0, 1, 0},    {1, 1, 1},   {511, 1, 511},
        {512, 2, 0},         {1024, 3, 0}, {513, 2, 1}, {33553919, 65535, 511},
    };
    for (const Case& c : cases) {
        TftpSizes sizes = ApplySizesRule(c.size);
        EXPECT_EQ(sizes.finalBlock, c.finalBlock) << c.size;
        EXPECT_EQ(sizes.finalBlockLength, c.finalBlockLength) << c.size;
    }
}

TEST(TftpPacketsTest, OptionAckBytes) {
    struct Case {
        std::uint32_t size;
        Bytes expected;
    };
    const Case cases[] = {
        {759100, B({0x00, 0x06, 0x74, 0x73, 0x69, 0x7a, 0x65, 0x00, 0x37, 0x35, 0x39, 0x31, 0x30,
                    0x30, 0x00, 0x74, 0x69, 0x6d, 0x65, 0x6f, 0x75, 0x74, 0x00, 0x35, 0x00})},
        {0, Datagram(Raw("\0\6tsize\0000\0timeout\0005\0"))},
        {4294967295u, Datagram(Raw("\0\6tsize\0004294967295\0timeout\0005\0"))},
    };
    for (const Case& c : cases) {
        std::uint8_t packet[kTftpPacketSize];
        std::memset(packet, 0xEE, sizeof packet);
        int length = BuildOptionAck(packet, c.size);
        EXPECT_EQ(Bytes(packet, packet + length), c.expected) << c.size;
        EXPECT_EQ(packet[length], 0xEE) << "wrote past the OACK";
    }
}

TEST(TftpPacketsTest, DataBlockBytes) {
    std::uint8_t image[600];
    for (int i = 0; i < 600; ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::uint8_t packet[kTftpPacketSize];
    EXPECT_EQ(BuildDataBlock(packet, image, 512, 1), 516);
    EXPECT_EQ(Bytes(packet, packet + 4), B({0, 3, 0, 1}));
    EXPECT_EQ(std::memcmp(packet + 4, image, 512), 0);

    // The last block of a 600-byte image, numbered with the low 16 bits of the counter.
    EXPECT_EQ(BuildDataBlock(packet, image + 512, 88, 0x10002), 92);
    EXPECT_EQ(Bytes(packet, packet + 4), B({0, 3, 0, 2}));
    EXPECT_EQ(std::memcmp(packet + 4, image + 512, 88), 0);

    // An empty final block is a 4-byte packet, even with no image behind it.
    EXPECT_EQ(BuildDataBlock(packet, nullptr, 0, 1483), 4);
    EXPECT_EQ(Bytes(packet, packet + 4), B({0, 3, 0x05, 0xCB}));
}

TEST(TftpPacketsTest, ListenerReadsOneDatagram) {
    const char* name = "/zeb3a7.bi1";
    struct Case {
        const char* what;
        std::string datagram;
        ListenerAction action;
    };
    const std::string rrq("\0\1", 2);
    const Case cases[] = {
        {"exact name", rrq + Raw("/zeb3a7.bi1\0octet\0tsize\0000\0"), ListenerAction::Accept},
        {"exact name, no mode", rrq + Raw("/zeb3a7.bi1\0"), ListenerAction::Accept},
        {"other letter case", rrq + Raw("/ZEB3A7.bi1\0octet\0"), ListenerAction::RefuseName},
        {"other name", rrq + Raw("/zeb3a8.bi1\0octet\0"), ListenerAction::RefuseName},
        {"prefix of the name", rrq + Raw("/zeb3a7.bi\0octet\0"), ListenerAction::RefuseName},
        {"name without its NUL", rrq + "/zeb3a7.bi1", ListenerAction::RefuseName},
        {"opcode only", rrq, ListenerAction::RefuseName},
        {"write request", Raw("\0\2/zeb3a7.bi1\0octet\0"), ListenerAction::WriteRequest},
        {"data", Raw("\0\3\0\1abc"), ListenerAction::DataPacket},
        {"ack", Raw("\0\4\0\0"), ListenerAction::AckPacket},
        {"error", Raw("\0\5\0\1x\0"), ListenerAction::ErrorPacket},
        {"option ack", Raw("\0\6"), ListenerAction::Ignore},
        {"unknown opcode", Raw("\1\1"), ListenerAction::Ignore},
        {"one byte", Raw("\0"), ListenerAction::Ignore},
        {"empty", std::string(), ListenerAction::Ignore},
    };
    for (const Case& c : cases) {
        // The datagram sits at the end of a guarded buffer; the bytes after it hold a NUL that a
        // reader overrunning the datagram would find.
        std::vector<std::uint8_t> buffer(c.datagram.begin(), c.datagram.end());
        buffer.push_back(0);
        RequestedName requested{};
        EXPECT_EQ(ClassifyListenerDatagram(buffer.data(), static_cast<int>(c.datagram.size()), name,
                                           &requested),
                  c.action)
            << c.what;
    }
}

TEST(TftpPacketsTest, ListenerReportsTheRequestedName) {
    std::string datagram("\0\1/zeb3a7.bi1\0octet\0", 20);
    RequestedName requested{};
    ClassifyListenerDatagram(reinterpret_cast<const std::uint8_t*>(datagram.data()),
                             static_cast<int>(datagram.size()), "/other", &requested);
    EXPECT_EQ(std::string(requested.text, requested.length), "/zeb3a7.bi1");
    EXPECT_TRUE(requested.terminated);

    // A full 1024-byte datagram without a NUL: the name ends where the datagram ends.
    std::vector<std::uint8_t> full(kTftpPacketSize, 'a');
    full[0] = 0;
    full[1] = 1;
    EXPECT_EQ(ClassifyListenerDatagram(full.data(), kTftpPacketSize, "/other", &requested),
              ListenerAction::RefuseName);
    EXPECT_EQ(requested.length, kTftpPacketSize - 2);
    EXPECT_FALSE(requested.terminated);

    // Nothing is accepted while no transfer file name is set.
    std::string empty("\0\1\0octet\0", 9);
    EXPECT_EQ(ClassifyListenerDatagram(reinterpret_cast<const std::uint8_t*>(empty.data()),
                                       static_cast<int>(empty.size()), "", &requested),
              ListenerAction::RefuseName);
}

TEST(TftpPacketsTest, TransferReadsOneDatagram) {
    const std::uint32_t peer = 0x7F00003C;
    const std::uint16_t port = 40000;
    struct Case {
        const char* what;
        std::string datagram;
        std::uint32_t address;
        std::uint16_t port;
        SessionAction action;
    };
    const Case cases[] = {
        {"expected ack", Raw("\0\4\0\7"), peer, port, SessionAction::ExpectedAck},
        {"expected ack, extra bytes", Raw("\0\4\0\7zz"), peer, port, SessionAction::ExpectedAck},
        {"ack of the previous block", Raw("\0\4\0\6"), peer, port, SessionAction::OtherAck},
        {"ack of a later block", Raw("\0\4\1\7"), peer, port, SessionAction::OtherAck},
        {"ack from another port", Raw("\0\4\0\7"), peer, port + 1, SessionAction::Stranger},
        {"ack from another address", Raw("\0\4\0\7"), peer + 1, port, SessionAction::Stranger},
        {"error packet", Raw("\0\5\0\0x\0"), peer, port, SessionAction::NotAck},
        {"second read request", Raw("\0\1/zeb\0octet\0"), peer, port, SessionAction::NotAck},
        {"ack of three bytes", Raw("\0\4\0"), peer, port, SessionAction::NotAck},
        {"one byte", Raw("\0"), peer, port, SessionAction::NotAck},
        {"empty", std::string(), peer, port, SessionAction::NotAck},
    };
    for (const Case& c : cases) {
        // What follows the datagram in the buffer would make a short ACK look like ACK 7.
        std::vector<std::uint8_t> buffer(c.datagram.begin(), c.datagram.end());
        const std::uint8_t tail[] = {0, 4, 0, 7};
        buffer.insert(buffer.end(), tail + std::min<std::size_t>(c.datagram.size(), 4), tail + 4);
        EXPECT_EQ(ClassifySessionDatagram(buffer.data(), static_cast<int>(c.datagram.size()),
                                          c.address, c.port, peer, port, 7),
                  c.action)
            << c.what;
    }
}

}  // namespace
