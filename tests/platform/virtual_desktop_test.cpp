// The virtual desktop as the dialog logic and a user meet it: modal loops and their results,
// per-thread queues, the task-modal box, the dialog keys, and the controls' editing rules.
#include "platform/virtual_desktop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/dialogs.h"
#include "tests/support/scripted_user.h"
#include "ui/dialog_ids.h"

namespace {

namespace desktop = platform::desktop;
using desktop::Key;
using desktop::WindowView;
using platform::Hwnd;

struct Call {
    Hwnd window;
    std::uint32_t message;
    int id;  // command: low 16 bits of wParam
    std::thread::id thread;
};

std::mutex gCallsMutex;
std::vector<Call> gCalls;

std::vector<Call> Commands() {
    std::lock_guard lock(gCallsMutex);
    std::vector<Call> commands;
    for (const Call& c : gCalls) {
        if (c.message == platform::kMessageCommand) {
            commands.push_back(c);
        }
    }
    return commands;
}

// Records every message. The creation parameter names a control to focus at initialisation
// (and then returns FALSE), or 0 to return TRUE. Every command ends a modal run with its id.
std::intptr_t RecordingDialogProc(Hwnd window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    int id = static_cast<int>(wParam & 0xffff);
    {
        std::lock_guard lock(gCallsMutex);
        gCalls.push_back(Call{window, message, id, std::this_thread::get_id()});
    }
    if (message == platform::kMessageInitDialog) {
        if (lParam != 0) {
            platform::SetControlFocus(window, static_cast<int>(lParam));
            return 0;
        }
        return 1;
    }
    if (message == platform::kMessageCommand) {
        platform::EndModalDialog(window, id);
        return 1;
    }
    return 0;
}

std::optional<desktop::ControlView> ControlOf(const WindowView& w, int id) {
    for (const auto& c : w.controls) {
        if (c.id == id) {
            return c;
        }
    }
    return std::nullopt;
}

WindowView ViewOf(Hwnd window) {
    for (const WindowView& w : desktop::Snapshot()) {
        if (w.handle == window) {
            return w;
        }
    }
    return WindowView{};
}

int FocusedId(Hwnd window) {
    for (const auto& c : ViewOf(window).controls) {
        if (c.focused) {
            return c.id;
        }
    }
    return 0;
}

std::string TextOf(Hwnd window, int id) {
    char text[64];
    platform::GetControlText(window, id, text, sizeof text);
    return text;
}

Hwnd ShowModeless(int templateId, std::intptr_t focusControl = 0) {
    Hwnd w = platform::CreateModelessDialog(nullptr, templateId, RecordingDialogProc, focusControl);
    platform::ShowDialogWindow(w);
    return w;
}

// A modal dialog run on its own thread, as the utility's threads run theirs.
struct ModalRun {
    std::future<std::intptr_t> result;
    ScriptedUser user{5000};
    Hwnd window = nullptr;

    // No other dialog of the template may be open, or the user could find that one instead.
    ModalRun(int templateId, std::intptr_t focusControl) {
        result = std::async(std::launch::async, [templateId, focusControl] {
            return platform::RunModalDialog(nullptr, templateId, RecordingDialogProc, focusControl);
        });
        window = user.WaitForDialog(templateId).handle;
    }
    // The dialog's result; a run that does not end in time is ended here and fails the test.
    std::intptr_t Result() {
        if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "the modal loop did not end";
            platform::EndModalDialog(window, -99);
        }
        return result.get();
    }
};

class VirtualDesktop : public ::testing::Test {
  protected:
    void SetUp() override {
        desktop::ResetForTest();
        std::lock_guard lock(gCallsMutex);
        gCalls.clear();
    }
};

TEST_F(VirtualDesktop, ModalRunReturnsTheValueItIsEndedWithAndRemovesTheDialog) {
    // Observers hear of the dialog as soon as it shows, not when its first message comes.
    std::atomic<bool> observerSawIt{false};
    desktop::SetChangeObserver([&observerSawIt] {
        for (const WindowView& w : desktop::Snapshot()) {
            observerSawIt = observerSawIt || w.templateId == kDialogWarning;
        }
    });
    ModalRun run(kDialogWarning, 0);
    ASSERT_NE(run.window, nullptr);
    for (int i = 0; i < 2000 && !observerSawIt; ++i) {  // the observer runs just after the change
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(observerSawIt);
    desktop::SetChangeObserver(nullptr);
    EXPECT_TRUE(ViewOf(run.window).modal);
    run.user.Click(kControlOk);
    EXPECT_EQ(run.Result(), kControlOk);
    EXPECT_TRUE(desktop::Snapshot().empty());
    platform::Rect rect;
    EXPECT_FALSE(platform::GetWindowRectangle(run.window, &rect));
}

TEST_F(VirtualDesktop, InitialFocusFollowsTheInitResult) {
    // TRUE: the first tab stop in template order; FALSE: where the handler put it.
    Hwnd first = ShowModeless(kDialogAddressAdapter, 0);
    Hwnd chosen = ShowModeless(kDialogAddressHandset, 1000);
    EXPECT_EQ(FocusedId(first), kControlOk);
    EXPECT_EQ(FocusedId(chosen), 1000);
    std::lock_guard lock(gCallsMutex);
    ASSERT_FALSE(gCalls.empty());
    EXPECT_EQ(gCalls.front().message, platform::kMessageInitDialog);
}

TEST_F(VirtualDesktop, DispatchOneMessageTakesOneMessageOfTheNamedDialogOnly) {
    Hwnd connecting = ShowModeless(kDialogConnecting);
    Hwnd waiting = ShowModeless(kDialogWaiting);
    desktop::ClickButton(connecting, kControlCancel);
    desktop::ClickButton(connecting, kControlCancel);
    desktop::ClickButton(waiting, kControlCancel);

    EXPECT_TRUE(platform::DispatchOneMessage(waiting));
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0].window, waiting);
    EXPECT_EQ(Commands()[0].id, kControlCancel);
    EXPECT_FALSE(platform::DispatchOneMessage(waiting));

    EXPECT_TRUE(platform::DispatchOneMessage(connecting));
    EXPECT_EQ(Commands().size(), 2u);
    EXPECT_TRUE(platform::DispatchOneMessage(connecting));
    EXPECT_FALSE(platform::DispatchOneMessage(connecting));
    EXPECT_EQ(Commands().size(), 3u);
}

TEST_F(VirtualDesktop, CommandsGoToTheThreadThatOwnsTheDialog) {
    std::promise<Hwnd> created;
    std::promise<void> clicked;
    std::atomic<bool> dispatchedThere{false};
    std::thread owner([&] {
        Hwnd mine = ShowModeless(kDialogConnecting);
        created.set_value(mine);
        clicked.get_future().wait();
        dispatchedThere = platform::DispatchOneMessage(mine);
    });
    Hwnd dialog = created.get_future().get();
    desktop::ClickButton(dialog, kControlCancel);
    EXPECT_FALSE(platform::DispatchOneMessage(dialog));  // not this thread's message
    EXPECT_TRUE(Commands().empty());
    clicked.set_value();
    owner.join();
    EXPECT_TRUE(dispatchedThere);
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_NE(Commands()[0].thread, std::this_thread::get_id());
}

TEST_F(VirtualDesktop, TaskModalBoxDisablesOnlyItsThreadsWindowsUntilDismissed) {
    Hwnd mine = ShowModeless(kDialogConnecting);
    std::promise<Hwnd> theirs;
    std::atomic<bool> boxReturned{false};
    std::atomic<int> boxResult{0};
    std::atomic<bool> clickReachedThem{false};
    std::thread other([&] {
        Hwnd waiting = ShowModeless(kDialogWaiting);
        theirs.set_value(waiting);
        boxResult = platform::ShowMessageBox(nullptr, "Upgrade Failed: User Abort", nullptr,
                                             platform::kMessageBoxTaskModal);
        boxReturned = true;
        clickReachedThem = platform::DispatchOneMessage(waiting);
    });
    Hwnd waiting = theirs.get_future().get();
    ScriptedUser user(5000);
    WindowView box = user.WaitForMessageBox();
    ASSERT_NE(box.handle, nullptr);
    EXPECT_EQ(box.title, "Error");  // no caption given
    EXPECT_EQ(box.text, "Upgrade Failed: User Abort");
    EXPECT_EQ(desktop::Snapshot().back().handle, box.handle);  // on top
    EXPECT_FALSE(ViewOf(waiting).enabled);
    EXPECT_TRUE(ViewOf(mine).enabled);

    desktop::ClickButton(waiting, kControlCancel);  // refused while the box is up
    desktop::CloseBox(waiting);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(boxReturned);

    user.Dismiss();
    other.join();
    EXPECT_TRUE(boxReturned);
    EXPECT_EQ(boxResult, platform::kIdOk);
    EXPECT_FALSE(clickReachedThem);
    EXPECT_TRUE(ViewOf(waiting).enabled);
}

TEST_F(VirtualDesktop, OwnedBoxDisablesItsOwnerOnly) {
    Hwnd owner = ShowModeless(kDialogAddressAdapter);
    Hwnd sibling = ShowModeless(kDialogConnecting);
    std::thread shower([owner] {
        platform::ShowMessageBox(owner, "Invalid IP Address", "Error", platform::kMessageBoxOk);
    });
    ScriptedUser user(5000);
    user.WaitForMessageBox();
    EXPECT_FALSE(ViewOf(owner).enabled);
    EXPECT_TRUE(ViewOf(sibling).enabled);
    user.Press(Key::Enter);
    shower.join();
    EXPECT_TRUE(ViewOf(owner).enabled);
    EXPECT_EQ(desktop::Snapshot().size(), 2u);
}

TEST_F(VirtualDesktop, TabCyclesThroughTabStopsInTemplateOrder) {
    ModalRun password(kDialogPassword, 0);
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
        order.push_back(FocusedId(password.window));
        password.user.Press(Key::Tab);
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1003, 1005, 1007, 1}));  // labels skipped, wraps
    password.user.Press(Key::ShiftTab);
    password.user.Press(Key::ShiftTab);
    EXPECT_EQ(FocusedId(password.window), 1007);  // and back across the wrap
    password.user.Press(Key::Escape);
    EXPECT_EQ(password.Result(), kControlCancel);

    ModalRun warning(kDialogWarning, kControlCancel);
    warning.user.Press(Key::Tab);
    EXPECT_EQ(FocusedId(warning.window), kControlOk);  // the text panel is not a tab stop
    warning.user.Press(Key::Tab);
    EXPECT_EQ(FocusedId(warning.window), kControlCancel);
    warning.user.Close();
    EXPECT_EQ(warning.Result(), kControlCancel);
}

TEST_F(VirtualDesktop, EnterPressesTheFocusedButtonElseTheDefaultButton) {
    struct Case {
        int templateId;
        int focus;
        int expected;
    };
    const Case cases[] = {
        {kDialogAddressAdapter, 1000, kControlOk},                // address entry: default OK
        {kDialogAddressAdapter, kControlCancel, kControlCancel},  // focused Cancel
        {kDialogConfirmSingle, 1004, kControlOk},                 // read-only value field
        {kDialogWarning, 1021, kControlCancel},                   // default is Cancel here
        {kDialogWarning, kControlOk, kControlOk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.templateId << " focus " << c.focus);
        ModalRun run(c.templateId, c.focus);
        std::optional<desktop::ControlView> pressed = ControlOf(ViewOf(run.window), c.expected);
        ASSERT_TRUE(pressed.has_value());
        EXPECT_TRUE(pressed->isDefault);
        run.user.Press(Key::Enter);
        EXPECT_EQ(run.Result(), c.expected);
    }
}

TEST_F(VirtualDesktop, ModelessDialogsIgnoreDialogKeysButTakeTheirButtonsAndCloseBox) {
    Hwnd uploading = ShowModeless(kDialogUploading);  // focus on Cancel
    for (Key key : {Key::Enter, Key::Escape, Key::Tab}) {
        desktop::PressKey(uploading, key);
    }
    EXPECT_FALSE(platform::DispatchOneMessage(uploading));
    EXPECT_EQ(FocusedId(uploading), kControlCancel);
    desktop::PressKey(uploading, Key::Space);
    desktop::CloseBox(uploading);
    EXPECT_TRUE(platform::DispatchOneMessage(uploading));
    EXPECT_TRUE(platform::DispatchOneMessage(uploading));
    std::vector<Call> commands = Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].id, kControlCancel);
    EXPECT_EQ(commands[1].id, kControlCancel);
}

TEST_F(VirtualDesktop, AddressEntryTypesLikeTheIpv4AddressControl) {
    struct Case {
        const char* typed;
        const char* text;
    };
    const Case cases[] = {
        {"", "0.0.0.0"},
        {"10.1.0.13", "10.1.0.13"},
        {"1921681100", "192.168.110.0"},  // a third digit moves on to the next field
        {"300", "255.0.0.0"},             // above 255 becomes 255
        {"1..2", "1.2.0.0"},              // "." in an empty field is ignored
        {".7", "7.0.0.0"},
        {"010.001.000.009", "10.1.0.9"},
        {"1.2.3.4567", "1.2.3.255"},  // the last field stops at three digits
        {"1.2.3.4.5", "1.2.3.45"},
        {"12a-3", "123.0.0.0"},  // only digits and dots
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        Hwnd w = ShowModeless(kDialogAddressAdapter, 1000);
        desktop::TypeText(w, c.typed);
        EXPECT_EQ(TextOf(w, 1000), c.text);
        platform::DestroyDialogWindow(w);
    }
}

TEST_F(VirtualDesktop, AddressEntryBackspaceCrossesFieldsAndTextCanBeSet) {
    Hwnd w = ShowModeless(kDialogAddressAdapter, 1000);
    desktop::TypeText(w, "192.168");
    EXPECT_EQ(ControlOf(ViewOf(w), 1000)->text, "192.168..");  // as shown: blank fields empty
    desktop::PressKey(w, Key::Backspace);  // empty third field: back into the second
    desktop::PressKey(w, Key::Backspace);
    EXPECT_EQ(TextOf(w, 1000), "192.1.0.0");
    desktop::PressKey(w, Key::Backspace);
    desktop::PressKey(w, Key::Backspace);  // into the first field
    EXPECT_EQ(TextOf(w, 1000), "19.0.0.0");
    desktop::TypeText(w, "2.7");
    EXPECT_EQ(TextOf(w, 1000), "192.7.0.0");

    platform::SetControlText(w, 1000, "10.0.0.138");
    EXPECT_EQ(TextOf(w, 1000), "10.0.0.138");
    platform::SetControlText(w, 1000, "");
    EXPECT_EQ(TextOf(w, 1000), "0.0.0.0");
}

TEST_F(VirtualDesktop, EditFieldsEditAtTheCaretAndReadOnlyFieldsIgnoreTyping) {
    Hwnd w = ShowModeless(kDialogPassword, 1005);
    desktop::TypeText(w, "secret");
    desktop::PressKey(w, Key::Home);
    desktop::TypeText(w, "x");
    desktop::PressKey(w, Key::End);
    desktop::PressKey(w, Key::Backspace);
    desktop::PressKey(w, Key::Left);
    desktop::PressKey(w, Key::Left);
    desktop::PressKey(w, Key::Backspace);
    EXPECT_EQ(TextOf(w, 1005), "xsere");

    platform::SetControlText(w, 1007, "Explanation");
    desktop::ClickControl(w, 1007);
    desktop::TypeText(w, "typed");
    desktop::PressKey(w, Key::Backspace);
    EXPECT_EQ(TextOf(w, 1007), "Explanation");

    // Focus that arrives by Tab selects the whole text, so typing replaces a preset value.
    platform::DestroyDialogWindow(w);
    ModalRun run(kDialogPassword, kControlCancel);
    platform::SetControlText(run.window, 1003, "admin");
    run.user.Press(Key::Tab);
    run.user.Type("root");
    EXPECT_EQ(run.user.Text(1003), "root");
    run.user.Close();
    EXPECT_EQ(run.Result(), kControlCancel);
}

TEST_F(VirtualDesktop, DropDownListSelectsByKeysAndChoice) {
    Hwnd w = ShowModeless(kDialogAddressAdapter, 1017);
    EXPECT_EQ(platform::ListSelectedEntry(w, 1017), -1);
    for (const char* entry : {"10.0.0.5", "192.168.1.20", "172.16.0.9"}) {
        platform::ListAddEntry(w, 1017, entry);
    }
    platform::ListSelectEntry(w, 1017, 0);
    desktop::PressKey(w, Key::Down);
    desktop::PressKey(w, Key::Down);
    desktop::PressKey(w, Key::Down);  // stays on the last entry
    EXPECT_EQ(platform::ListSelectedEntry(w, 1017), 2);
    desktop::PressKey(w, Key::Up);
    EXPECT_EQ(TextOf(w, 1017), "192.168.1.20");
    desktop::ChooseListEntry(w, 1017, 0);
    EXPECT_EQ(platform::ListSelectedEntry(w, 1017), 0);
    desktop::ChooseListEntry(w, 1017, 3);  // no such entry: unchanged
    EXPECT_EQ(platform::ListSelectedEntry(w, 1017), 0);
    platform::ListSelectEntry(w, 1017, 7);
    EXPECT_EQ(platform::ListSelectedEntry(w, 1017), -1);
    EXPECT_EQ(TextOf(w, 1017), "");
}

TEST_F(VirtualDesktop, GeometryAndStackingOrder) {
    int width = 0;
    int height = 0;
    platform::GetPrimaryScreenSize(&width, &height);
    EXPECT_EQ(width, 1024);
    EXPECT_EQ(height, 768);

    // 165 x 181 dialog units at 200, 200: 247 x 294 pixels plus frame and caption.
    Hwnd address = ShowModeless(kDialogAddressAdapter);
    Hwnd connecting = ShowModeless(kDialogConnecting);
    platform::Rect r{};
    ASSERT_TRUE(platform::GetWindowRectangle(address, &r));
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 325);
    EXPECT_EQ(r.right - r.left, 253);
    EXPECT_EQ(r.bottom - r.top, 319);

    EXPECT_EQ(desktop::Snapshot().back().handle, connecting);
    platform::MoveWindowTo(address, -2, 40);  // keeps the size, comes to the top
    ASSERT_TRUE(platform::GetWindowRectangle(address, &r));
    EXPECT_EQ(r.left, -2);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.right - r.left, 253);
    EXPECT_EQ(desktop::Snapshot().back().handle, address);
}

TEST_F(VirtualDesktop, ProgressBarKeepsItsPositionInsideTheRange) {
    Hwnd w = ShowModeless(kDialogUploading);
    platform::ProgressSetRange(w, kControlProgress, 1483);
    platform::ProgressSetPosition(w, kControlProgress, 1500);
    std::optional<desktop::ControlView> bar = ControlOf(ViewOf(w), kControlProgress);
    ASSERT_TRUE(bar.has_value());
    EXPECT_EQ(bar->rangeMax, 1483);
    EXPECT_EQ(bar->position, 1483);
    platform::ProgressSetRange(w, kControlProgress, 30);
    EXPECT_EQ(ControlOf(ViewOf(w), kControlProgress)->position, 30);
}

TEST_F(VirtualDesktop, ObserversSeeEveryChange) {
    std::atomic<int> calls{0};
    desktop::SetChangeObserver([&calls] { ++calls; });
    std::uint64_t before = desktop::ChangeCount();
    Hwnd w = ShowModeless(kDialogSuccess);
    EXPECT_GT(desktop::ChangeCount(), before);
    int seen = calls;
    EXPECT_GT(seen, 0);

    std::uint64_t now = desktop::ChangeCount();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(desktop::WaitForChange(now, 30), now);  // nothing changes: the wait runs out
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));

    std::thread changer([w] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::SetWindowTitle(w, "ZEB-6600 Upgrade Successful!");
    });
    EXPECT_GT(desktop::WaitForChange(now, 5000), now);
    changer.join();
    EXPECT_EQ(ViewOf(w).title, "ZEB-6600 Upgrade Successful!");
    EXPECT_GT(calls.load(), seen);
    desktop::SetChangeObserver(nullptr);
}

TEST(VirtualDesktopClasses, RegistrationFailsOnlyWithoutAName) {
    EXPECT_TRUE(platform::RegisterAppWindowClass(nullptr, "ZebUpgrade"));
    EXPECT_FALSE(platform::RegisterAppWindowClass(nullptr, ""));
    EXPECT_FALSE(platform::RegisterAppWindowClass(nullptr, nullptr));
}

}  // namespace
