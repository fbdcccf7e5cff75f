// Every request to the device: a worker thread per attempt behind the connecting dialog, with
// the password dialog and the automatic retry.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"
#include "web/http_exchange.h"

// The bytes of the answer (at least 1), or 0 when there was none. Ends the process when the
// user cancels.
std::int32_t RunDeviceRequest(platform::Instance instance, std::uint32_t localAddress,
                              std::uint16_t localBasePort, std::uint32_t deviceAddress,
                              std::uint16_t devicePort, const char* path, char* responseArea,
                              std::int32_t capacity);

std::int32_t DeviceRequestWorker(void* request);  // argument: a DeviceRequest
std::intptr_t ConnectingDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t lParam);
std::intptr_t PasswordDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t lParam);
