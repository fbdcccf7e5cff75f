// The device's identity as scraped from its last answer.
#pragma once

inline constexpr int kDeviceInfoFieldSize = 128;

struct DeviceInfo {
    char productName[kDeviceInfoFieldSize];
    char macAddress[kDeviceInfoFieldSize];
    char softwareVersion[kDeviceInfoFieldSize];
    char hardwareVersion[kDeviceInfoFieldSize];
    char serialNumber[kDeviceInfoFieldSize];
};
