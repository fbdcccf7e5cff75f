// Firmware images on Windows: resources of the named type "ZEB_FIRMWARE" in the executable.
#include "platform/resources.h"

#include <windows.h>

namespace platform {

bool FindFirmwareResource(int id, const std::uint8_t** bytes, std::uint32_t* size) {
    HMODULE module = ::GetModuleHandleA(nullptr);
    HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(id), "ZEB_FIRMWARE");
    if (resource == nullptr) {
        return false;
    }
    HGLOBAL loaded = ::LoadResource(module, resource);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) {
        return false;
    }
    // The data is part of the mapped executable: a view that lasts as long as the process.
    *bytes = static_cast<const std::uint8_t*>(data);
    *size = ::SizeofResource(module, resource);
    return true;
}

}  // namespace platform
