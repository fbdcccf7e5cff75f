// The scripted test user: bounded waits on the virtual desktop's snapshots, and input through
// the desktop's driver calls.
#include "tests/support/scripted_user.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <sstream>

#include "platform/process.h"
#include "tests/support/child_process.h"

namespace desktop = platform::desktop;
using desktop::WindowView;

namespace {

const char* KindName(platform::ControlKind kind) {
    switch (kind) {
        case platform::ControlKind::DefaultButton:
            return "default button";
        case platform::ControlKind::Button:
            return "button";
        case platform::ControlKind::TextPanel:
            return "text panel";
        case platform::ControlKind::PlainValue:
            return "value line";
        case platform::ControlKind::ValueField:
        case platform::ControlKind::CentredValueField:
            return "value field";
        case platform::ControlKind::InputField:
            return "input field";
        case platform::ControlKind::PasswordField:
            return "password field";
        case platform::ControlKind::LabelLeft:
        case platform::ControlKind::LabelRight:
        case platform::ControlKind::LabelCentred:
            return "label";
        case platform::ControlKind::Icon:
            return "icon";
        case platform::ControlKind::DropDownList:
            return "drop-down list";
        case platform::ControlKind::AddressEntry:
            return "address entry";
        case platform::ControlKind::ProgressBar:
            return "progress bar";
    }
    return "?";
}

std::string DumpDesktop() {
    std::ostringstream out;
    std::vector<WindowView> windows = desktop::Snapshot();
    out << "visible windows (bottom to top): " << windows.size() << "\n";
    for (const WindowView& w : windows) {
        if (w.isMessageBox) {
            out << "  box \"" << w.title << "\" \"" << w.text << "\"\n";
            continue;
        }
        out << "  dialog " << w.templateId << " \"" << w.title << "\""
            << (w.enabled ? "" : " (disabled)") << " thread " << w.ownerThread << "\n";
        for (const auto& c : w.controls) {
            out << "    " << c.id << " " << KindName(c.kind) << " \"" << c.text << "\"";
            if (c.kind == platform::ControlKind::ProgressBar) {
                out << " " << c.position << "/" << c.rangeMax;
            }
            if (c.kind == platform::ControlKind::DropDownList) {
                out << " " << c.items.size() << " entries, selected " << c.selection;
            }
            out << (c.focused ? " [focus]" : "") << "\n";
        }
    }
    return out.str();
}

bool OnTopOfItsThread(const std::vector<WindowView>& windows, std::size_t index) {
    for (std::size_t i = index + 1; i < windows.size(); ++i) {
        if (windows[i].ownerThread == windows[index].ownerThread) {
            return false;
        }
    }
    return true;
}

}  // namespace

void ScriptedUser::TimedOut(const std::string& what) {
    std::string dump = DumpDesktop();
    if (InChildProcess()) {
        TranscriptLine("TIMEOUT waiting for %s", what.c_str());
        TranscriptLine("%s", dump.c_str());
        platform::EndProcess(kExitScriptTimeout);
    }
    failed_ = true;
    ADD_FAILURE() << "TIMEOUT waiting for " << what << "\n" << dump;
}

bool ScriptedUser::WaitUntil(const std::function<bool(const std::vector<WindowView>&)>& condition,
                             const char* what) {
    if (failed_) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs_);
    for (;;) {
        std::uint64_t seen = desktop::ChangeCount();
        if (condition(desktop::Snapshot())) {
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            TimedOut(what);
            return false;
        }
        // Short slices as well, so that a condition on something outside the desktop is seen.
        desktop::WaitForChange(seen, static_cast<int>(std::min<long long>(left.count(), 50)));
    }
}

WindowView ScriptedUser::WaitForWindow(
    const std::function<const WindowView*(const std::vector<WindowView>&)>& find,
    const std::string& what) {
    WindowView found{};
    WaitUntil(
        [&](const std::vector<WindowView>& windows) {
            if (const WindowView* w = find(windows)) {
                found = *w;
                return true;
            }
            return false;
        },
        what.c_str());
    if (found.handle != nullptr) {
        current_ = found.handle;
    }
    return found;
}

WindowView ScriptedUser::WaitForDialog(int templateId) {
    return WaitForWindow(
        [templateId](const std::vector<WindowView>& windows) -> const WindowView* {
            for (std::size_t i = windows.size(); i-- > 0;) {
                const WindowView& w = windows[i];
                if (!w.isMessageBox && w.templateId == templateId && w.enabled &&
                    OnTopOfItsThread(windows, i)) {
                    return &w;
                }
            }
            return nullptr;
        },
        "dialog " + std::to_string(templateId));
}

WindowView ScriptedUser::WaitForMessageBox() {
    return WaitForWindow(
        [](const std::vector<WindowView>& windows) -> const WindowView* {
            for (std::size_t i = windows.size(); i-- > 0;) {
                if (windows[i].isMessageBox) {
                    return &windows[i];
                }
            }
            return nullptr;
        },
        "a message box");
}

WindowView ScriptedUser::WaitForTitle(const std::string& substring) {
    return WaitForWindow(
        [&substring](const std::vector<WindowView>& windows) -> const WindowView* {
            for (std::size_t i = windows.size(); i-- > 0;) {
                if (windows[i].title.find(substring) != std::string::npos) {
                    return &windows[i];
                }
            }
            return nullptr;
        },
        "a window titled \"" + substring + "\"");
}

void ScriptedUser::Type(const std::string& text) {
    if (!failed_) {
        desktop::TypeText(current_, text);
    }
}

void ScriptedUser::Press(desktop::Key key) {
    if (!failed_) {
        desktop::PressKey(current_, key);
    }
}

void ScriptedUser::Click(int controlId) {
    if (!failed_) {
        desktop::ClickButton(current_, controlId);
    }
}

void ScriptedUser::Choose(int controlId, int index) {
    if (!failed_) {
        desktop::ChooseListEntry(current_, controlId, index);
    }
}

void ScriptedUser::Close() {
    if (!failed_) {
        desktop::CloseBox(current_);
    }
}

void ScriptedUser::Dismiss() {
    if (!failed_) {
        desktop::DismissMessageBox(current_);
    }
}

std::string ScriptedUser::Text(int controlId) {
    char text[1024];
    platform::GetControlText(current_, controlId, text, sizeof text);
    return text;
}

std::string ScriptedUser::Title() {
    for (const WindowView& w : desktop::Snapshot()) {
        if (w.handle == current_) {
            return w.title;
        }
    }
    return "";
}
