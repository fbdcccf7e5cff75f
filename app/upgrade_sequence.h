// The order of the whole upgrade, run on the main thread after start-up.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"

// Returns only when the run stops before the TFTP listener is started.
void RunUpgrade();
// "/admin/upgrade?tftp://%u.%u.%u.%u:%u%s" from the local address, `port` and the current
// transfer file name.
void BuildUpgradePath(std::uint16_t port, char* path, int capacity);

std::intptr_t WarningDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam);
std::intptr_t ConfirmDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam);
