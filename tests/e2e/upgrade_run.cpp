#include "tests/e2e/upgrade_run.h"

#include <chrono>
#include <thread>

#include "app/entry.h"
#include "platform/net.h"
#include "platform/process.h"
#include "platform/test_hooks.h"
#include "ui/dialog_ids.h"

ChildResult RunUpgradeProgram(const std::function<void(ScriptedUser&)>& script, int timeoutMs) {
    return RunInChild(
        [&script] {
            platform::testing::SetTimeScale(kE2eTimeScale);
            const std::uint32_t local[] = {platform::HostToNetwork32(0x7f000001)};
            platform::testing::SetLocalAddressesOverride(local, 1);
            std::thread([&script] {
                ScriptedUser user;
                script(user);
                TranscriptLine("script done");
            }).detach();
            static int instance;
            ZebEntry(&instance);
            platform::EndProcess(0);
        },
        timeoutMs);
}

void PassWarningAndAddress(ScriptedUser& user, const std::string& deviceAddress,
                           int addressDialog) {
    user.WaitForDialog(kDialogWarning);
    user.Click(kControlOk);
    user.WaitForDialog(addressDialog);
    user.Type(deviceAddress);
    user.Click(kControlOk);
}

void DismissBox(ScriptedUser& user) {
    user.WaitForMessageBox();
    user.Dismiss();
}

void WaitForTheEnd() {
    std::this_thread::sleep_for(std::chrono::seconds(120));
}
