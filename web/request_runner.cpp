// Every request to the device: the exchange runs on a worker thread, one attempt at a time,
// while the calling thread keeps the connecting dialog alive; a demand for authentication leads
// to one automatic retry or to the password dialog.
#include "web/request_runner.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "app/upgrade_state.h"
#include "platform/clock.h"
#include "platform/thread.h"
#include "ui/common.h"
#include "ui/dialog_ids.h"

namespace {

constexpr int kControlUserName = 1003;
constexpr int kControlPassword = 1005;
constexpr int kCredentialLimit = 127;  // characters including the NUL
constexpr int kTurnsPerProgressStep = 10;
constexpr int kProgressMaximum = 100;

constexpr const char* kPasswordExplanation =
    "This ZEB requires a password in order to be\r\nupgraded. If you do not have "
    "administrator's\r\nprivileges for this unit, please contact your\r\nService Provider or "
    "network administrator,\r\nbefore proceeding.\r\n\r\nYou must provide the ZEB "
    "administrator's\r\npassword to upgrade. If you are the administrator\r\nand forgot the "
    "password, you may perform a\r\nfactory reset by entering * * * *, option 46251#,\r\nand "
    "value 1 from a telephone connected to the\r\nunit to be upgraded.\r\n\r\n* * * * * * * * * "
    "* *  Warning  * * * * * * * * * * *\r\nAll settings will revert to default values\r\nafter "
    "factory reset!  You may not be able to\r\nreestablish service after completing this "
    "upgrade\r\nwithout first reentering service configuration\r\ninformation.";

// The response area, DeviceInfo and DigestState belong to the one request that is running: the
// main thread's requests before the transfer, the listener thread's after it. The device keeps
// them apart (it fetches, and so the listener asks, only after the main thread's upgrade request
// has ended), but a network round trip orders nothing for the language. Each request acquires
// this counter as it starts and releases it as it ends, which hands the records over from one
// thread to the next. It is never contended and never waited on.
std::atomic<std::uint32_t> gRequestHandOver{0};

// The worker's own copy of the request, path included; it lives until the worker has ended
// (or, when the worker never ends, until the process does).
struct WorkerRequest {
    DeviceRequest request;
    std::string path;
};

// Runs one attempt: the connecting dialog on this thread, the exchange on a worker. Returns the
// worker's result once it has ended.
std::int32_t RunAttempt(platform::Instance instance, const DeviceRequest& request, int* turn,
                        int* position) {
    platform::Hwnd dialog =
        platform::CreateModelessDialog(instance, kDialogConnecting, ConnectingDialogProc, 0);
    platform::ShowDialogWindow(dialog);

    auto* copy = new (std::nothrow) WorkerRequest{request, request.path};
    platform::ThreadHandle worker = nullptr;
    if (copy != nullptr) {
        copy->request.path = copy->path.c_str();
        worker = platform::StartThread(DeviceRequestWorker, &copy->request);
    }

    // Without a worker the attempt never ends by itself: the dialog stays until Cancel.
    std::int32_t result = 0;
    while (worker == nullptr || !platform::ThreadHasEnded(worker, &result)) {
        platform::DispatchOneMessage(dialog);
        platform::SleepMilliseconds(1);
        if (++*turn == kTurnsPerProgressStep) {
            platform::ProgressSetPosition(dialog, kControlProgress, *position);
            *position = *position == kProgressMaximum ? 0 : *position + 1;
            *turn = 0;
        }
    }
    platform::ReleaseThread(worker);
    delete copy;
    platform::DestroyDialogWindow(dialog);
    return result;
}

}  // namespace

std::int32_t DeviceRequestWorker(void* request) {
    const auto& r = *static_cast<const DeviceRequest*>(request);
    Trace("HTTP %x:%u to %x:%u", r.localAddress, r.localBasePort, r.deviceAddress, r.devicePort);
    return DeviceGet(r);
}

std::int32_t RunDeviceRequest(platform::Instance instance, std::uint32_t localAddress,
                              std::uint16_t localBasePort, std::uint32_t deviceAddress,
                              std::uint16_t devicePort, const char* path, char* responseArea,
                              std::int32_t capacity) {
    gRequestHandOver.fetch_add(1, std::memory_order_acquire);
    const DeviceRequest request{localAddress, localBasePort, deviceAddress, devicePort,
                                path,         responseArea,  capacity};
    int turn = 0;
    int position = 0;
    int automaticRetries = 0;
    for (;;) {
        std::int32_t result = RunAttempt(instance, request, &turn, &position);
        if (result >= 0) {
            gRequestHandOver.fetch_add(1, std::memory_order_release);
            return result;
        }
        // The device demands authentication. A count of 0 after a request with credentials
        // means its challenge carried a new nonce: answer that once with the same credentials.
        const DigestState& digest = gUpgradeState.digest;
        if (digest.password[0] != '\0' && digest.nonceCount == 0 && automaticRetries == 0) {
            automaticRetries = 1;
            continue;
        }
        if (platform::RunModalDialog(instance, kDialogPassword, PasswordDialogProc, 0) != 1) {
            FailAndEndProcess(kUserAbortMessage);
        }
        automaticRetries = 0;
    }
}

std::intptr_t ConnectingDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        char title[64];
        std::snprintf(title, sizeof title, "Connecting with ZEB@%s",
                      gUpgradeState.deviceAddressText);
        platform::SetWindowTitle(dialog, title);
        CenterWindow(dialog);
        platform::ProgressSetRange(dialog, kControlProgress, kProgressMaximum);
        return 1;
    }
    if (message == platform::kMessageCommand && (wParam & 0xffff) == kControlCancel) {
        // The worker is not waited for: ending the process stops it wherever it is.
        platform::DestroyDialogWindow(dialog);
        FailAndEndProcess(kUserAbortMessage);
    }
    return 0;
}

std::intptr_t PasswordDialogProc(platform::Hwnd dialog, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t) {
    if (message == platform::kMessageInitDialog) {
        platform::SetControlText(dialog, kControlMainText, kPasswordExplanation);
        platform::SetControlText(dialog, kControlUserName, "admin");
        platform::SetControlFocus(dialog, kControlPassword);
        CenterWindow(dialog);
        return 0;  // the focus stays in the password field
    }
    if (message != platform::kMessageCommand) {
        return 0;
    }
    DigestState& digest = gUpgradeState.digest;
    switch (wParam & 0xffff) {
        case kControlOk:
            platform::GetControlText(dialog, kControlUserName, digest.username, kCredentialLimit);
            platform::GetControlText(dialog, kControlPassword, digest.password, kCredentialLimit);
            platform::EndModalDialog(dialog, 1);
            return 1;
        case kControlCancel:
            platform::EndModalDialog(dialog, 0);
            return 1;
        default:
            return 0;
    }
}
