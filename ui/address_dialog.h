// The address entry: the device's IPv4 address and the local address to use.
#pragma once

#include <cstdint>

#include "platform/dialogs.h"

std::intptr_t AddressDialogProc(platform::Hwnd dialog, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam);
// 0 success, 1 value above 255, 2 more than four parts, 3 fewer than four, 4 length outside
// 7..15, 5 a character other than digits, "." and "*". The address is 0 on every code but 0.
int ParseDottedAddress(const char* text, std::uint32_t* address);
// Writes a new "/zeb%x.bi%d" transfer file name into the upgrade state, drawing the number
// from the process's pseudo-random sequence.
void MakeTransferFileName(int stageValue);
// "/zeb%x.bi%d" with `value` masked to 16 bits and the stage digit, cut to `capacity`.
void FormatTransferFileName(unsigned value, int stageValue, char* name, int capacity);
