// The process entry: the window class, start-up, then the upgrade sequence.
#include "app/entry.h"

#include "app/startup.h"
#include "app/upgrade_sequence.h"
#include "app/upgrade_state.h"
#include "platform/process.h"

void ZebEntry(platform::Instance instance) {
    // No window of this class is ever made; every window is a dialog or a message box.
    if (!platform::RegisterAppWindowClass(instance, "ZebUpgrade")) {
        platform::EndProcess(0);
    }
    gUpgradeState.instance = instance;
    StartUp();
    RunUpgrade();
}
