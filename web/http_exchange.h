// One HTTP/1.1 GET exchange with the device, and the scraping of its identity.
#pragma once

#include <cstdint>

#include "platform/net.h"
#include "web/device_info.h"
#include "web/digest_state.h"

struct DeviceRequest {
    std::uint32_t localAddress;  // host order; 0 means any local address
    std::uint16_t localBasePort;
    std::uint32_t deviceAddress;  // host order
    std::uint16_t devicePort;
    const char* path;
    char* responseArea;
    std::int32_t capacity;
};

// -1 when the device demands authentication (challenge stored in the digest state); otherwise
// the number of bytes received, 0 for no answer.
std::int32_t DeviceGet(const DeviceRequest& request);

platform::Socket OpenDeviceConnection(std::uint32_t localAddress, std::uint16_t localBasePort,
                                      std::uint32_t deviceAddress, std::uint16_t devicePort);
int ClassifyResponse(const char* response, DigestState* state);
void ExtractLabeledField(const char* text, const char* label, char* destination, int limit);

void MakeSocketAddress(std::uint32_t address, std::uint16_t port, platform::SocketAddress* out);
void ReadSocketAddress(const platform::SocketAddress& in, std::uint32_t* address,
                       std::uint16_t* port);
