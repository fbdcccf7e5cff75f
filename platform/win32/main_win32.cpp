// The Windows program: the utility's entry with the executable's module instance.
#include <windows.h>

#include "app/entry.h"
#include "platform/process.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    ZebEntry(instance);
    platform::EndProcess(0);
}
