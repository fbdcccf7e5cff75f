// The virtual desktop: every dialog and message box of the process as plain records under one
// mutex, with a message queue per thread as the Win32 dialog manager keeps them. A thread runs
// and pumps its own dialogs; input from a renderer or a test edits the model directly and posts
// commands to the owning thread's queue. Handlers are never called with the mutex held, since
// they call back into the desktop.
#include "platform/virtual_desktop.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace platform {

namespace {

struct Control {
    const ControlTemplate* layout;
    std::string text;
    int caret = 0;             // edit fields: insertion point
    bool allSelected = false;  // edit fields: the whole text is selected (focus came by keyboard)
    std::vector<std::string> items;
    int selection = -1;
    int rangeMax = 100;  // the progress bar's default range, as on Windows
    int position = 0;
    std::string fields[4];  // address entry: the four fields as typed
    int field = 0;          // address entry: the field the caret is in
};

}  // namespace

struct WindowObject {
    bool alive = true;
    bool visible = false;
    bool isMessageBox = false;
    bool modal = false;
    int disabledCount = 0;  // boxes that disable this window and are still up
    int templateId = 0;
    const DialogTemplate* layout = nullptr;
    DialogHandler handler = nullptr;
    std::thread::id owner;
    std::string title;
    std::string text;  // message box text
    std::uint32_t flags = 0;
    int left = 0, top = 0, width = 0, height = 0;  // screen pixels, frame included
    std::vector<Control> controls;
    int focus = -1;  // index into controls
    std::uint64_t zOrder = 0;
    bool ended = false;  // EndModalDialog was called, or the message box was dismissed
    std::intptr_t result = 0;
    std::vector<WindowObject*> disabledByBox;  // message box: the windows it disabled
};

namespace {

using desktop::ControlView;
using desktop::Key;
using desktop::WindowView;

struct Message {
    Hwnd target;
    std::uint32_t message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

struct Desktop {
    std::mutex mutex;
    std::condition_variable wake;     // queues, ended modal loops, dismissed boxes
    std::condition_variable changed;  // anything a snapshot would show
    std::vector<std::unique_ptr<WindowObject>> windows;
    std::map<std::thread::id, std::deque<Message>> queues;
    std::uint64_t changeCount = 0;
    std::uint64_t zCounter = 0;
    std::function<void()> observer;
    std::set<std::string> classes;
};

// Never destroyed: threads of the utility may still use it while the process ends.
Desktop& D() {
    static Desktop* desktop = new Desktop;
    return *desktop;
}

// Dialog units of 8-point "MS Sans Serif" (base units 6 x 13) to pixels, and the frame.
constexpr int kFrame = 3;
constexpr int kCaption = 19;
int PixelsX(int units) {
    return units * 6 / 4;
}
int PixelsY(int units) {
    return units * 13 / 8;
}

// Holds the desktop lock for one edit; once released, tells the observer if anything changed.
struct Edit {
    std::unique_lock<std::mutex> lock{D().mutex};
    bool changed = false;

    void MarkChanged() {
        if (!changed) {
            changed = true;
            ++D().changeCount;
        }
    }
    ~Edit() {
        if (!changed) {
            return;
        }
        std::function<void()> observer = D().observer;
        D().changed.notify_all();
        lock.unlock();
        if (observer) {
            observer();
        }
    }
};

WindowObject* Live(Hwnd window) {
    for (const auto& w : D().windows) {
        if (w.get() == window) {
            return w->alive ? w.get() : nullptr;
        }
    }
    return nullptr;
}

Control* FindControl(WindowObject* w, int id) {
    if (w == nullptr) {
        return nullptr;
    }
    for (Control& c : w->controls) {
        if (c.layout->id == id) {
            return &c;
        }
    }
    return nullptr;
}

bool IsButton(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::DefaultButton;
}

bool IsEditable(ControlKind kind) {
    return kind == ControlKind::InputField || kind == ControlKind::PasswordField;
}

bool IsEdit(ControlKind kind) {
    switch (kind) {
        case ControlKind::TextPanel:
        case ControlKind::PlainValue:
        case ControlKind::ValueField:
        case ControlKind::CentredValueField:
        case ControlKind::InputField:
        case ControlKind::PasswordField:
            return true;
        default:
            return false;
    }
}

// Controls a mouse click can focus (statics and progress bars never take the focus).
bool CanFocus(ControlKind kind) {
    switch (kind) {
        case ControlKind::LabelLeft:
        case ControlKind::LabelRight:
        case ControlKind::LabelCentred:
        case ControlKind::Icon:
        case ControlKind::ProgressBar:
            return false;
        default:
            return true;
    }
}

void Post(Edit& edit, WindowObject* w, std::uint32_t message, std::uintptr_t wParam) {
    (void)edit;  // the caller holds the lock
    D().queues[w->owner].push_back(Message{w, message, wParam, 0});
    D().wake.notify_all();
}

void PostCommand(Edit& edit, WindowObject* w, int id) {
    Post(edit, w, kMessageCommand, static_cast<std::uint16_t>(id));
}

// Moves the focus; `byKeyboard` selects an edit's whole text, as the dialog manager does.
void Focus(Edit& edit, WindowObject* w, int index, bool byKeyboard) {
    w->focus = index;
    if (index >= 0) {
        Control& c = w->controls[index];
        c.allSelected = byKeyboard && IsEdit(c.layout->kind) && !c.text.empty();
        c.caret = static_cast<int>(c.text.size());
    }
    edit.MarkChanged();
}

int FirstTabStop(const WindowObject* w) {
    for (std::size_t i = 0; i < w->controls.size(); ++i) {
        if (w->controls[i].layout->tabStop) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int NextTabStop(const WindowObject* w, int step) {
    int n = static_cast<int>(w->controls.size());
    int start = w->focus < 0 ? (step > 0 ? -1 : 0) : w->focus;
    for (int k = 1; k <= n; ++k) {
        int i = ((start + step * k) % n + n) % n;
        if (w->controls[i].layout->tabStop) {
            return i;
        }
    }
    return w->focus;
}

// The button Enter presses: the focused button, else the template's default button.
int DefaultButtonIndex(const WindowObject* w) {
    if (w->focus >= 0 && IsButton(w->controls[w->focus].layout->kind)) {
        return w->focus;
    }
    for (std::size_t i = 0; i < w->controls.size(); ++i) {
        if (w->controls[i].layout->kind == ControlKind::DefaultButton) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// --- The address entry: four fields 0..255, like the IPv4 address control. ---

int FieldValue(const std::string& field) {
    return field.empty() ? 0 : std::stoi(field);
}

std::string AddressText(const Control& c) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += (i ? "." : "") + std::to_string(FieldValue(c.fields[i]));
    }
    return text;
}

std::string AddressFieldsAsShown(const Control& c) {
    return c.fields[0] + "." + c.fields[1] + "." + c.fields[2] + "." + c.fields[3];
}

void AddressSetText(Control& c, const char* text) {
    for (std::string& f : c.fields) {
        f.clear();
    }
    int field = 0;
    for (const char* p = text; *p != '\0' && field < 4; ++p) {
        if (*p == '.') {
            ++field;
        } else if (*p >= '0' && *p <= '9' && c.fields[field].size() < 3) {
            c.fields[field] += *p;
        }
    }
    for (std::string& f : c.fields) {
        if (!f.empty()) {
            f = std::to_string(std::min(FieldValue(f), 255));
        }
    }
    c.field = 0;
}

// A digit fills the current field; a third digit (or "." after a digit) moves on to the next
// field; a value above 255 becomes 255; "." in an empty field is ignored.
void AddressType(Control& c, char ch) {
    std::string& f = c.fields[c.field];
    if (ch == '.') {
        if (!f.empty() && c.field < 3) {
            ++c.field;
        }
        return;
    }
    if (ch < '0' || ch > '9' || f.size() >= 3) {
        return;
    }
    f += ch;
    if (FieldValue(f) > 255) {
        f = "255";
    }
    if (f.size() == 3 && c.field < 3) {
        ++c.field;
    }
}

// Backspace deletes the last digit of the current field; in an empty field it goes back to the
// previous field and deletes that field's last digit.
void AddressBackspace(Control& c) {
    if (c.fields[c.field].empty() && c.field > 0) {
        --c.field;
    }
    std::string& f = c.fields[c.field];
    if (!f.empty()) {
        f.pop_back();
    }
}

void AddressKey(Control& c, Key key) {
    switch (key) {
        case Key::Backspace:
            AddressBackspace(c);
            break;
        case Key::Left:
            c.field = std::max(c.field - 1, 0);
            break;
        case Key::Right:
            c.field = std::min(c.field + 1, 3);
            break;
        case Key::Home:
            c.field = 0;
            break;
        case Key::End:
            c.field = 3;
            break;
        default:
            break;
    }
}

// --- Editable fields ---

void EditType(Control& c, char ch) {
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) {
        return;
    }
    if (c.allSelected) {
        c.text.clear();
        c.caret = 0;
        c.allSelected = false;
    }
    c.text.insert(c.text.begin() + c.caret, ch);
    ++c.caret;
}

void EditKey(Control& c, Key key) {
    int size = static_cast<int>(c.text.size());
    bool selected = c.allSelected;
    c.allSelected = false;
    switch (key) {
        case Key::Backspace:
            if (selected) {
                c.text.clear();
                c.caret = 0;
            } else if (c.caret > 0) {
                c.text.erase(--c.caret, 1);
            }
            break;
        case Key::Left:
            c.caret = selected ? 0 : std::max(c.caret - 1, 0);
            break;
        case Key::Right:
            c.caret = selected ? size : std::min(c.caret + 1, size);
            break;
        case Key::Home:
            c.caret = 0;
            break;
        case Key::End:
            c.caret = size;
            break;
        default:
            c.allSelected = selected;
            break;
    }
}

// --- Windows ---

WindowObject* NewWindow(Edit& edit) {
    (void)edit;
    D().windows.push_back(std::make_unique<WindowObject>());
    WindowObject* w = D().windows.back().get();
    w->owner = std::this_thread::get_id();
    return w;
}

WindowObject* CreateFromTemplate(int templateId, DialogHandler handler, bool modal) {
    const DialogTemplate* layout = FindDialogTemplate(templateId);
    if (layout == nullptr || handler == nullptr) {
        return nullptr;
    }
    Edit edit;
    WindowObject* w = NewWindow(edit);
    w->templateId = templateId;
    w->layout = layout;
    w->handler = handler;
    w->modal = modal;
    w->title = layout->caption;
    w->left = PixelsX(layout->x);
    w->top = PixelsY(layout->y);
    w->width = PixelsX(layout->width) + 2 * kFrame;
    w->height = PixelsY(layout->height) + 2 * kFrame + kCaption;
    for (int i = 0; i < layout->controlCount; ++i) {
        Control c;
        c.layout = &layout->controls[i];
        if (c.layout->kind != ControlKind::AddressEntry &&
            c.layout->kind != ControlKind::ProgressBar) {
            c.text = c.layout->text;
        }
        w->controls.push_back(std::move(c));
    }
    return w;
}

// Sends the init message on the calling thread; TRUE gives the focus to the first tab stop.
void Initialise(WindowObject* w, std::intptr_t param) {
    std::intptr_t focusFirst = w->handler(w, kMessageInitDialog, 0, param);
    Edit edit;
    if (focusFirst != 0 && w->alive) {
        Focus(edit, w, FirstTabStop(w), true);
    }
}

void Show(Edit& edit, WindowObject* w) {
    w->visible = true;
    w->zOrder = ++D().zCounter;
    edit.MarkChanged();
}

void Destroy(Edit& edit, WindowObject* w) {
    w->alive = false;
    w->visible = false;
    auto& queue = D().queues[w->owner];
    queue.erase(
        std::remove_if(queue.begin(), queue.end(), [w](const Message& m) { return m.target == w; }),
        queue.end());
    edit.MarkChanged();
}

void Dispatch(const Message& m) {
    DialogHandler handler = nullptr;
    {
        std::lock_guard lock(D().mutex);
        if (WindowObject* w = Live(m.target)) {
            handler = w->handler;
        }
    }
    if (handler != nullptr) {
        handler(m.target, m.message, m.wParam, m.lParam);
    }
}

// The live, enabled window that input may act on; null otherwise.
WindowObject* InputTarget(Hwnd window) {
    WindowObject* w = Live(window);
    return w != nullptr && w->visible && w->disabledCount == 0 ? w : nullptr;
}

Control* Focused(WindowObject* w) {
    return w->focus >= 0 ? &w->controls[w->focus] : nullptr;
}

void Dismiss(Edit& edit, WindowObject* box) {
    if (box->isMessageBox && !box->ended) {
        box->ended = true;
        box->result = kIdOk;
        D().wake.notify_all();
        edit.MarkChanged();
    }
}

ControlView ViewOf(const WindowObject* w, const Control& c, int index, int defaultIndex) {
    const ControlTemplate& t = *c.layout;
    ControlView v{};
    v.id = t.id;
    v.kind = t.kind;
    v.text = t.kind == ControlKind::AddressEntry ? AddressFieldsAsShown(c) : c.text;
    v.x = t.x;
    v.y = t.y;
    v.width = t.width;
    v.height = t.height;
    v.tabStop = t.tabStop;
    v.focused = w->focus == index;
    v.iconId = t.iconId;
    v.items = c.items;
    v.selection = c.selection;
    v.rangeMax = c.rangeMax;
    v.position = c.position;
    v.isDefault = index == defaultIndex;
    return v;
}

WindowView ViewOf(const WindowObject* w) {
    WindowView v{};
    v.handle = const_cast<WindowObject*>(w);
    v.templateId = w->templateId;
    v.isMessageBox = w->isMessageBox;
    v.modal = w->modal;
    v.visible = w->visible;
    v.enabled = w->disabledCount == 0;
    v.title = w->title;
    v.text = w->text;
    v.flags = w->flags;
    v.rect = Rect{w->left, w->top, w->left + w->width, w->top + w->height};
    v.ownerThread = std::hash<std::thread::id>{}(w->owner);
    int defaultIndex = DefaultButtonIndex(w);
    for (std::size_t i = 0; i < w->controls.size(); ++i) {
        v.controls.push_back(ViewOf(w, w->controls[i], static_cast<int>(i), defaultIndex));
    }
    return v;
}

}  // namespace

bool RegisterAppWindowClass(Instance, const char* className) {
    if (className == nullptr || *className == '\0') {
        return false;
    }
    std::lock_guard lock(D().mutex);
    D().classes.insert(className);
    return true;
}

void InitCommonControls(std::uint32_t) {}

std::intptr_t RunModalDialog(Instance, int templateId, DialogHandler handler, std::intptr_t param) {
    WindowObject* w = CreateFromTemplate(templateId, handler, true);
    if (w == nullptr) {
        return -1;
    }
    Initialise(w, param);
    {
        Edit edit;
        if (!w->ended && w->alive) {
            Show(edit, w);
        }
    }
    const std::thread::id me = std::this_thread::get_id();
    for (;;) {
        Message m;
        {
            Edit edit;
            auto& queue = D().queues[me];
            D().wake.wait(edit.lock, [&] { return w->ended || !w->alive || !queue.empty(); });
            if (w->ended || !w->alive) {
                std::intptr_t result = w->result;
                if (w->alive) {
                    Destroy(edit, w);
                }
                return result;
            }
            m = queue.front();
            queue.pop_front();
        }
        Dispatch(m);
    }
}

void EndModalDialog(Hwnd dialog, std::intptr_t result) {
    std::lock_guard lock(D().mutex);
    if (WindowObject* w = Live(dialog)) {
        w->ended = true;
        w->result = result;
        D().wake.notify_all();
    }
}

Hwnd CreateModelessDialog(Instance, int templateId, DialogHandler handler, std::intptr_t param) {
    WindowObject* w = CreateFromTemplate(templateId, handler, false);
    if (w != nullptr) {
        Initialise(w, param);
    }
    return w;
}

void ShowDialogWindow(Hwnd dialog) {
    Edit edit;
    if (WindowObject* w = Live(dialog); w != nullptr && !w->visible) {
        Show(edit, w);
    }
}

void DestroyDialogWindow(Hwnd dialog) {
    Edit edit;
    if (WindowObject* w = Live(dialog)) {
        Destroy(edit, w);
    }
}

bool DispatchOneMessage(Hwnd dialog) {
    Message m;
    {
        std::lock_guard lock(D().mutex);
        auto& queue = D().queues[std::this_thread::get_id()];
        auto it = std::find_if(queue.begin(), queue.end(),
                               [dialog](const Message& q) { return q.target == dialog; });
        if (it == queue.end()) {
            return false;
        }
        m = *it;
        queue.erase(it);
    }
    Dispatch(m);
    return true;
}

void SetWindowTitle(Hwnd window, const char* title) {
    Edit edit;
    if (WindowObject* w = Live(window)) {
        w->title = title != nullptr ? title : "";
        edit.MarkChanged();
    }
}

void SetControlText(Hwnd dialog, int controlId, const char* text) {
    Edit edit;
    Control* c = FindControl(Live(dialog), controlId);
    if (c == nullptr) {
        return;
    }
    if (text == nullptr) {
        text = "";
    }
    if (c->layout->kind == ControlKind::AddressEntry) {
        AddressSetText(*c, text);
    } else {
        c->text = text;
        c->caret = static_cast<int>(c->text.size());
        c->allSelected = false;
    }
    edit.MarkChanged();
}

int GetControlText(Hwnd dialog, int controlId, char* destination, int limit) {
    if (destination == nullptr || limit <= 0) {
        return 0;
    }
    std::string text;
    {
        std::lock_guard lock(D().mutex);
        if (const Control* c = FindControl(Live(dialog), controlId)) {
            if (c->layout->kind == ControlKind::AddressEntry) {
                text = AddressText(*c);
            } else if (c->layout->kind == ControlKind::DropDownList) {
                text = c->selection >= 0 ? c->items[c->selection] : "";
            } else {
                text = c->text;
            }
        }
    }
    int n = std::min(static_cast<int>(text.size()), limit - 1);
    std::memcpy(destination, text.data(), n);
    destination[n] = '\0';
    return n;
}

void SetControlFocus(Hwnd dialog, int controlId) {
    Edit edit;
    WindowObject* w = Live(dialog);
    if (Control* c = FindControl(w, controlId)) {
        Focus(edit, w, static_cast<int>(c - w->controls.data()), false);
    }
}

void ListAddEntry(Hwnd dialog, int controlId, const char* text) {
    Edit edit;
    Control* c = FindControl(Live(dialog), controlId);
    if (c != nullptr && c->layout->kind == ControlKind::DropDownList) {
        c->items.push_back(text != nullptr ? text : "");
        edit.MarkChanged();
    }
}

void ListSelectEntry(Hwnd dialog, int controlId, int index) {
    Edit edit;
    Control* c = FindControl(Live(dialog), controlId);
    if (c != nullptr && c->layout->kind == ControlKind::DropDownList) {
        c->selection = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
        edit.MarkChanged();
    }
}

int ListSelectedEntry(Hwnd dialog, int controlId) {
    std::lock_guard lock(D().mutex);
    const Control* c = FindControl(Live(dialog), controlId);
    return c != nullptr ? c->selection : -1;
}

void ProgressSetRange(Hwnd dialog, int controlId, int maximum) {
    Edit edit;
    Control* c = FindControl(Live(dialog), controlId);
    if (c != nullptr && c->layout->kind == ControlKind::ProgressBar) {
        c->rangeMax = std::clamp(maximum, 0, 65535);
        c->position = std::clamp(c->position, 0, c->rangeMax);
        edit.MarkChanged();
    }
}

void ProgressSetPosition(Hwnd dialog, int controlId, int position) {
    Edit edit;
    Control* c = FindControl(Live(dialog), controlId);
    if (c != nullptr && c->layout->kind == ControlKind::ProgressBar) {
        c->position = std::clamp(position, 0, c->rangeMax);
        edit.MarkChanged();
    }
}

int ShowMessageBox(Hwnd owner, const char* text, const char* caption, std::uint32_t flags) {
    WindowObject* box;
    {
        Edit edit;
        box = NewWindow(edit);
        box->isMessageBox = true;
        box->modal = true;
        box->text = text != nullptr ? text : "";
        box->title = caption != nullptr ? caption : "Error";
        box->flags = flags;
        // Sized to its text: one line per "\n", six pixels a character, room for the button.
        int lines = 1;
        int longest = static_cast<int>(box->title.size());
        int run = 0;
        for (char ch : box->text) {
            run = ch == '\n' ? 0 : run + 1;
            lines += ch == '\n';
            longest = std::max(longest, run);
        }
        box->width = std::clamp(longest * 6 + 48, 150, desktop::kScreenWidth);
        box->height = lines * 13 + 2 * kFrame + kCaption + 64;
        box->left = (desktop::kScreenWidth - box->width) / 2;
        box->top = (desktop::kScreenHeight - box->height) / 2;
        for (const auto& w : D().windows) {
            bool ofThisThread = w->owner == box->owner && (flags & kMessageBoxTaskModal) != 0;
            if (w->alive && w.get() != box && (ofThisThread || w.get() == owner)) {
                ++w->disabledCount;
                box->disabledByBox.push_back(w.get());
            }
        }
        Show(edit, box);
    }
    Edit edit;
    D().wake.wait(edit.lock, [box] { return box->ended || !box->alive; });
    for (WindowObject* w : box->disabledByBox) {
        --w->disabledCount;
    }
    int result = static_cast<int>(box->result);
    if (box->alive) {
        Destroy(edit, box);
    }
    return result != 0 ? result : kIdOk;
}

void GetPrimaryScreenSize(int* width, int* height) {
    *width = desktop::kScreenWidth;
    *height = desktop::kScreenHeight;
}

bool GetWindowRectangle(Hwnd window, Rect* rect) {
    std::lock_guard lock(D().mutex);
    const WindowObject* w = Live(window);
    if (w == nullptr || rect == nullptr) {
        return false;
    }
    *rect = Rect{w->left, w->top, w->left + w->width, w->top + w->height};
    return true;
}

void MoveWindowTo(Hwnd window, int x, int y) {
    Edit edit;
    if (WindowObject* w = Live(window)) {
        w->left = x;
        w->top = y;
        w->zOrder = ++D().zCounter;
        edit.MarkChanged();
    }
}

namespace desktop {

std::vector<WindowView> Snapshot() {
    std::lock_guard lock(D().mutex);
    std::vector<const WindowObject*> shown;
    for (const auto& w : D().windows) {
        if (w->alive && w->visible) {
            shown.push_back(w.get());
        }
    }
    std::sort(shown.begin(), shown.end(),
              [](const WindowObject* a, const WindowObject* b) { return a->zOrder < b->zOrder; });
    std::vector<WindowView> views;
    for (const WindowObject* w : shown) {
        views.push_back(ViewOf(w));
    }
    return views;
}

std::uint64_t ChangeCount() {
    std::lock_guard lock(D().mutex);
    return D().changeCount;
}

std::uint64_t WaitForChange(std::uint64_t seen, int timeoutMs) {
    std::unique_lock lock(D().mutex);
    D().changed.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMs, 0)),
                         [seen] { return D().changeCount != seen; });
    return D().changeCount;
}

void SetChangeObserver(std::function<void()> observer) {
    std::lock_guard lock(D().mutex);
    D().observer = std::move(observer);
}

void TypeText(Hwnd window, const std::string& text) {
    Edit edit;
    WindowObject* w = InputTarget(window);
    Control* c = w != nullptr && !w->isMessageBox ? Focused(w) : nullptr;
    if (c == nullptr) {
        return;
    }
    for (char ch : text) {
        if (c->layout->kind == ControlKind::AddressEntry) {
            AddressType(*c, ch);
        } else if (IsEditable(c->layout->kind)) {
            EditType(*c, ch);
        } else if (ch == ' ' && IsButton(c->layout->kind)) {
            PostCommand(edit, w, c->layout->id);
        }
    }
    edit.MarkChanged();
}

void PressKey(Hwnd window, Key key) {
    Edit edit;
    WindowObject* w = InputTarget(window);
    if (w == nullptr) {
        return;
    }
    if (w->isMessageBox) {
        if (key == Key::Enter || key == Key::Space || key == Key::Escape) {
            Dismiss(edit, w);
        }
        return;
    }
    Control* c = Focused(w);
    ControlKind kind = c != nullptr ? c->layout->kind : ControlKind::LabelLeft;
    // Tab, Enter and Escape are dialog keys: only a modal dialog's loop handles them.
    switch (key) {
        case Key::Tab:
        case Key::ShiftTab:
            if (w->modal) {
                Focus(edit, w, NextTabStop(w, key == Key::Tab ? 1 : -1), true);
            }
            return;
        case Key::Enter:
            if (w->modal) {
                int index = DefaultButtonIndex(w);
                PostCommand(edit, w, index >= 0 ? w->controls[index].layout->id : kIdOk);
            }
            return;
        case Key::Escape:
            if (w->modal) {
                PostCommand(edit, w, kIdCancel);
            }
            return;
        case Key::Space:
            if (IsButton(kind)) {
                PostCommand(edit, w, c->layout->id);
            } else if (IsEditable(kind)) {
                EditType(*c, ' ');
                edit.MarkChanged();
            }
            return;
        case Key::Up:
        case Key::Down:
            if (kind == ControlKind::DropDownList && !c->items.empty()) {
                int last = static_cast<int>(c->items.size()) - 1;
                int next = c->selection + (key == Key::Down ? 1 : -1);
                c->selection = c->selection < 0 ? 0 : std::clamp(next, 0, last);
                edit.MarkChanged();
            }
            return;
        case Key::OpenList:
            return;
        default:
            break;
    }
    if (kind == ControlKind::AddressEntry) {
        AddressKey(*c, key);
        edit.MarkChanged();
    } else if (IsEditable(kind)) {
        EditKey(*c, key);
        edit.MarkChanged();
    }
}

void ClickButton(Hwnd window, int controlId) {
    Edit edit;
    WindowObject* w = InputTarget(window);
    if (w == nullptr) {
        return;
    }
    if (w->isMessageBox) {
        if (controlId == kIdOk) {
            Dismiss(edit, w);
        }
        return;
    }
    Control* c = FindControl(w, controlId);
    if (c != nullptr && IsButton(c->layout->kind)) {
        Focus(edit, w, static_cast<int>(c - w->controls.data()), false);
        PostCommand(edit, w, controlId);
    }
}

void ClickControl(Hwnd window, int controlId) {
    Edit edit;
    WindowObject* w = InputTarget(window);
    Control* c = w != nullptr ? FindControl(w, controlId) : nullptr;
    if (c != nullptr && CanFocus(c->layout->kind)) {
        Focus(edit, w, static_cast<int>(c - w->controls.data()), false);
    }
}

void ChooseListEntry(Hwnd window, int controlId, int index) {
    Edit edit;
    WindowObject* w = InputTarget(window);
    Control* c = w != nullptr ? FindControl(w, controlId) : nullptr;
    if (c != nullptr && c->layout->kind == ControlKind::DropDownList && index >= 0 &&
        index < static_cast<int>(c->items.size())) {
        Focus(edit, w, static_cast<int>(c - w->controls.data()), false);
        c->selection = index;
    }
}

void CloseBox(Hwnd window) {
    Edit edit;
    WindowObject* w = InputTarget(window);
    if (w == nullptr) {
        return;
    }
    if (w->isMessageBox) {
        Dismiss(edit, w);
    } else {
        PostCommand(edit, w, kIdCancel);
    }
}

void DismissMessageBox(Hwnd box) {
    Edit edit;
    if (WindowObject* w = InputTarget(box)) {
        Dismiss(edit, w);
    }
}

void ResetForTest() {
    Edit edit;
    D().windows.clear();
    D().queues.clear();
    D().classes.clear();
    D().observer = nullptr;
    edit.MarkChanged();
}

}  // namespace desktop
}  // namespace platform
