// The terminal renderer: one thread draws the virtual desktop with ncurses whenever it changes
// and turns keys and signals into the desktop's driver calls. Every ncurses call is made under
// gScreenMutex, either by that thread or by the process end hook that restores the terminal.
#include "platform/terminal/terminal_renderer.h"

#include <curses.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/process.h"
#include "platform/terminal/input.h"
#include "platform/terminal/layout.h"
#include "platform/virtual_desktop.h"

namespace terminal {
namespace {

using platform::ControlKind;
using platform::desktop::ControlView;
using platform::desktop::WindowView;

// Redraws are coalesced to at most one per frame, so that a fast progress bar costs little
// over a slow link.
constexpr int kFrameMilliseconds = 20;
constexpr int kEscapeDelayMilliseconds = 25;
// How long the end hook waits for a frame being drawn before it restores the terminal anyway.
constexpr auto kRestoreWait = std::chrono::seconds(5);

enum ColourPair : short { kDesktopPair = 1, kDialogPair = 2, kShadowPair = 3 };

std::mutex gScreenMutex;
// endwin has run, draw no more. Set under gScreenMutex, except by an end hook that gave up
// waiting for a frame, so it is atomic.
std::atomic<bool> gRestored{false};
bool gColours = false;

int gWakeRead = -1;
int gWakeWrite = -1;
std::atomic<bool> gDrawPending{true};
std::atomic<bool> gResized{false};
std::atomic<int> gInterrupts{0};
std::atomic<int> gEndSignal{0};

// The drop-down list the user has dropped down (renderer thread only).
platform::Hwnd gOpenListWindow = nullptr;
int gOpenListControl = 0;

void Wake() {
    int saved = errno;
    char byte = 0;
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] ssize_t written = ::write(gWakeWrite, &byte, 1);
    errno = saved;
}

void OnSignal(int signal) {
    switch (signal) {
        case SIGINT:
            gInterrupts.fetch_add(1);
            break;
        case SIGWINCH:
            gResized.store(true);
            break;
        default:
            gEndSignal.store(signal);
            break;
    }
    Wake();
}

void OnDesktopChange() {
    gDrawPending.store(true);
    Wake();
}

void RestoreTerminal() {
    // A bounded series of try_lock calls rather than a timed lock: the thread checker does not
    // see a timed lock taken, and would report the renderer's locking as races.
    std::unique_lock lock(gScreenMutex, std::defer_lock);
    const auto deadline = std::chrono::steady_clock::now() + kRestoreWait;
    while (!lock.try_lock() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!gRestored.exchange(true) && lock.owns_lock()) {
        endwin();
    }
}

// --- Drawing ---

// The cells a window may paint: its box clipped to the screen.
struct Clip {
    int top, left, bottom, right;  // bottom and right exclusive
};

Clip ScreenClip() {
    return Clip{0, 0, LINES, COLS};
}

Clip Intersect(const Clip& a, const Clip& b) {
    return Clip{std::max(a.top, b.top), std::max(a.left, b.left), std::min(a.bottom, b.bottom),
                std::min(a.right, b.right)};
}

void PutText(const Clip& clip, int row, int column, const std::string& text, attr_t attributes) {
    if (row < clip.top || row >= clip.bottom) {
        return;
    }
    int skip = std::max(0, clip.left - column);
    int end = std::min(column + static_cast<int>(text.size()), clip.right);
    if (column + skip >= end) {
        return;
    }
    attrset(attributes);
    mvaddnstr(row, column + skip, text.c_str() + skip, end - column - skip);
}

void PutCell(const Clip& clip, int row, int column, chtype cell) {
    if (row >= clip.top && row < clip.bottom && column >= clip.left && column < clip.right) {
        mvaddch(row, column, cell);
    }
}

attr_t DialogAttributes() {
    return gColours ? COLOR_PAIR(kDialogPair) : A_NORMAL;
}

// A framed box with its title in the top border, filled with blanks.
void DrawFrame(const Clip& clip, int top, int left, int rows, int columns, const std::string& title,
               attr_t attributes) {
    std::string blank(static_cast<std::size_t>(std::max(columns, 0)), ' ');
    for (int r = 0; r < rows; ++r) {
        PutText(clip, top + r, left, blank, attributes);
    }
    if (gColours) {
        // A shadow below and to the right, as dialogs cast on a coloured desktop.
        attr_t shadow = COLOR_PAIR(kShadowPair);
        Clip screen = ScreenClip();
        for (int r = 1; r <= rows; ++r) {
            PutText(screen, top + r, left + columns, "  ", shadow);
        }
        PutText(screen, top + rows, left + 2, std::string(blank.size(), ' '), shadow);
    }
    attrset(attributes);
    int bottom = top + rows - 1;
    int right = left + columns - 1;
    for (int c = left + 1; c < right; ++c) {
        PutCell(clip, top, c, ACS_HLINE | attributes);
        PutCell(clip, bottom, c, ACS_HLINE | attributes);
    }
    for (int r = top + 1; r < bottom; ++r) {
        PutCell(clip, r, left, ACS_VLINE | attributes);
        PutCell(clip, r, right, ACS_VLINE | attributes);
    }
    PutCell(clip, top, left, ACS_ULCORNER | attributes);
    PutCell(clip, top, right, ACS_URCORNER | attributes);
    PutCell(clip, bottom, left, ACS_LLCORNER | attributes);
    PutCell(clip, bottom, right, ACS_LRCORNER | attributes);
    int room = columns - 4;
    if (room > 2 && !title.empty()) {
        std::string shown = " " + title.substr(0, static_cast<std::size_t>(room - 2)) + " ";
        PutText(clip, top, left + 2, shown, attributes | A_BOLD);
    }
}

void DrawOpenList(const ControlView& control, int top, int left, int width, attr_t attributes) {
    int rows = std::max(1, (control.height - kClosedListHeight) / kUnitsPerRow);
    ListWindow shown =
        OpenListWindow(static_cast<int>(control.items.size()), control.selection, rows);
    Clip screen = ScreenClip();
    for (int i = 0; i < shown.count; ++i) {
        int index = shown.first + i;
        attr_t line = index == control.selection ? attributes | A_REVERSE : attributes;
        PutText(screen, top + i, left, "|" + Fit(control.items[index], width - 2) + "|", line);
    }
    std::string bottom = width >= 2 ? "+" + std::string(width - 2, '-') + "+" : "";
    PutText(screen, top + shown.count, left, bottom, attributes);
}

// Draws a dialog; returns the screen cell of the text cursor when this window shows one.
bool DrawDialog(const WindowView& window, bool active, int* cursorRow, int* cursorColumn) {
    DialogLayout layout = LayoutWindow(window, COLS, LINES);
    CellPoint origin = PlaceBox(window.rect, layout.boxColumns, layout.boxRows, COLS, LINES);
    attr_t base = DialogAttributes() | (window.enabled ? A_NORMAL : A_DIM);
    Clip screen = ScreenClip();
    DrawFrame(screen, origin.row, origin.column, layout.boxRows, layout.boxColumns, window.title,
              base);
    Clip client = Intersect(
        screen, Clip{origin.row + 1, origin.column + 1, origin.row + 1 + layout.clientRows,
                     origin.column + 1 + layout.clientColumns});
    bool cursor = false;
    const ControlView* openList = nullptr;
    CellRect openCells{};
    for (std::size_t i = 0; i < window.controls.size(); ++i) {
        const ControlView& control = window.controls[i];
        const CellRect& cells = layout.controls[i];
        int top = origin.row + 1 + cells.row;
        int left = origin.column + 1 + cells.column;
        bool focused = active && control.focused;
        attr_t attributes = base | (control.isDefault ? A_BOLD : A_NORMAL);
        std::vector<std::string> lines = ControlLines(control, cells.width, cells.height);
        for (std::size_t n = 0; n < lines.size(); ++n) {
            PutText(client, top + static_cast<int>(n), left, lines[n], attributes);
            if (focused) {
                Span span = HighlightSpan(control, lines[n]);
                if (span.width > 0) {
                    PutText(client, top + static_cast<int>(n), left + span.column,
                            lines[n].substr(span.column, span.width), attributes | A_REVERSE);
                }
            }
        }
        if (focused) {
            int column = CursorColumn(control, cells.width);
            if (column >= 0) {
                cursor = true;
                *cursorRow = top;
                *cursorColumn = left + column;
            }
            if (control.kind == ControlKind::DropDownList && window.handle == gOpenListWindow &&
                control.id == gOpenListControl) {
                openList = &control;
                openCells = CellRect{left, top + 1, cells.width, 0};
            }
        }
    }
    if (openList != nullptr) {
        DrawOpenList(*openList, openCells.row, openCells.column, openCells.width, base);
    }
    return cursor;
}

void DrawMessageBox(const WindowView& box, bool active) {
    MessageBoxLayout layout = LayoutMessageBox(box.title, box.text, COLS, LINES);
    attr_t base = DialogAttributes();
    Clip screen = ScreenClip();
    int top = layout.origin.row;
    int left = layout.origin.column;
    DrawFrame(screen, top, left, layout.boxRows, layout.boxColumns, box.title, base);
    Clip inside = Intersect(
        screen, Clip{top + 1, left + 1, top + layout.boxRows - 1, left + layout.boxColumns - 1});
    for (std::size_t i = 0; i < layout.lines.size(); ++i) {
        PutText(inside, top + layout.textRow + static_cast<int>(i), left + layout.textColumn,
                layout.lines[i], base);
    }
    PutText(inside, top + layout.buttonRow, left + layout.buttonColumn, kMessageBoxButton,
            base | A_BOLD | (active ? A_REVERSE : A_NORMAL));
}

// Dialogs bottom to top, then message boxes over them all.
void Draw(const std::vector<WindowView>& windows) {
    bkgdset(' ' | (gColours ? COLOR_PAIR(kDesktopPair) : A_NORMAL));
    erase();
    const WindowView* input = InputWindow(windows);
    bool cursor = false;
    int cursorRow = 0;
    int cursorColumn = 0;
    for (const WindowView& window : windows) {
        if (!window.isMessageBox) {
            int row = 0;
            int column = 0;
            if (DrawDialog(window, &window == input, &row, &column)) {
                cursor = true;
                cursorRow = row;
                cursorColumn = column;
            }
        }
    }
    for (const WindowView& window : windows) {
        if (window.isMessageBox) {
            DrawMessageBox(window, &window == input);
            cursor = false;
        }
    }
    attrset(A_NORMAL);
    if (cursor && cursorRow >= 0 && cursorRow < LINES && cursorColumn >= 0 && cursorColumn < COLS) {
        move(cursorRow, cursorColumn);
        curs_set(1);
    } else {
        curs_set(0);
    }
    refresh();
}

// --- Input ---

constexpr const char* kAltDownSequence = "\033[1;3B";
constexpr int kOwnAltDownCode = 0x6000;  // far above the codes ncurses hands out itself
int gAltDownKey = 0;                     // the code getch returns for Alt-Down

bool ReadKeystroke(int code, Keystroke* stroke) {
    switch (code) {
        case '\t':
            *stroke = {InputKey::Tab, 0};
            return true;
        case KEY_BTAB:
            *stroke = {InputKey::ShiftTab, 0};
            return true;
        case '\n':
        case '\r':
        case KEY_ENTER:
            *stroke = {InputKey::Enter, 0};
            return true;
        case ' ':
            *stroke = {InputKey::Space, 0};
            return true;
        case KEY_BACKSPACE:
        case 127:
        case 8:
            *stroke = {InputKey::Backspace, 0};
            return true;
        case KEY_LEFT:
            *stroke = {InputKey::Left, 0};
            return true;
        case KEY_RIGHT:
            *stroke = {InputKey::Right, 0};
            return true;
        case KEY_HOME:
            *stroke = {InputKey::Home, 0};
            return true;
        case KEY_END:
            *stroke = {InputKey::End, 0};
            return true;
        case KEY_UP:
            *stroke = {InputKey::Up, 0};
            return true;
        case KEY_DOWN:
            *stroke = {InputKey::Down, 0};
            return true;
        case KEY_F(4):
            *stroke = {InputKey::OpenList, 0};
            return true;
        case 27: {
            // Escape alone, or Escape as the Alt prefix of the next key (Alt-Down).
            int next = getch();
            if (next == ERR) {
                *stroke = {InputKey::Escape, 0};
                return true;
            }
            if (next == KEY_DOWN) {
                *stroke = {InputKey::OpenList, 0};
                return true;
            }
            return false;
        }
        default:
            if (gAltDownKey != 0 && code == gAltDownKey) {
                *stroke = {InputKey::OpenList, 0};
                return true;
            }
            if (code > ' ' && code < 127) {
                *stroke = {InputKey::Character, static_cast<char>(code)};
                return true;
            }
            return false;
    }
}

void Carry(const WindowView& window, const Action& action) {
    namespace desktop = platform::desktop;
    switch (action.type) {
        case Action::Type::PressKey:
            desktop::PressKey(window.handle, action.key);
            break;
        case Action::Type::TypeText:
            desktop::TypeText(window.handle, action.text);
            break;
        case Action::Type::ClickButton:
            desktop::ClickButton(window.handle, action.controlId);
            break;
        case Action::Type::CloseBox:
            desktop::CloseBox(window.handle);
            break;
        case Action::Type::DismissMessageBox:
            desktop::DismissMessageBox(window.handle);
            break;
        case Action::Type::OpenList:
            gOpenListWindow = window.handle;
            gOpenListControl = action.controlId;
            break;
        case Action::Type::CloseList:
            gOpenListWindow = nullptr;
            break;
    }
}

// Whether the dropped-down list is still the focused control of the window taking input.
bool ListStillOpen(const WindowView* input) {
    if (gOpenListWindow == nullptr || input == nullptr || input->handle != gOpenListWindow) {
        return false;
    }
    for (const ControlView& control : input->controls) {
        if (control.focused && control.id == gOpenListControl) {
            return true;
        }
    }
    return false;
}

void Feed(const std::vector<Keystroke>& strokes) {
    for (const Keystroke& stroke : strokes) {
        std::vector<WindowView> windows = platform::desktop::Snapshot();
        const WindowView* input = InputWindow(windows);
        if (!ListStillOpen(input)) {
            gOpenListWindow = nullptr;
        }
        if (input == nullptr) {
            if (stroke.key == InputKey::Interrupt) {
                platform::EndProcess(128 + SIGINT);
            }
            continue;
        }
        bool listOpen = gOpenListWindow != nullptr;
        for (const Action& action : DecideActions(*input, stroke, listOpen)) {
            Carry(*input, action);
        }
        gDrawPending.store(true);
    }
}

void ApplyTerminalSize() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0 && size.ws_col > 0) {
        resizeterm(size.ws_row, size.ws_col);
    }
}

[[noreturn]] void RunRenderer() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point lastDraw{};
    bool watchKeys = true;
    for (;;) {
        int timeout = -1;
        if (gDrawPending.load()) {
            auto since =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastDraw);
            timeout = static_cast<int>(std::max<long long>(0, kFrameMilliseconds - since.count()));
        }
        pollfd fds[2] = {{watchKeys ? STDIN_FILENO : -1, POLLIN, 0}, {gWakeRead, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) {
            timeout = kFrameMilliseconds;
        }
        if (fds[1].revents & POLLIN) {
            char drain[64];
            while (::read(gWakeRead, drain, sizeof drain) > 0) {
            }
        }
        if (int signal = gEndSignal.load()) {
            platform::EndProcess(128 + signal);
        }
        std::vector<Keystroke> strokes;
        {
            std::unique_lock lock(gScreenMutex);
            if (gRestored.load()) {
                // The process is ending; leave the terminal alone until it has.
                lock.unlock();
                for (;;) {
                    std::this_thread::sleep_for(std::chrono::hours(1));
                }
            }
            if (gResized.exchange(false)) {
                ApplyTerminalSize();
                gDrawPending.store(true);
                lastDraw = Clock::time_point{};
            }
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
                watchKeys = false;  // the terminal has gone; SIGHUP ends the process
            }
            if (fds[0].revents & POLLIN) {
                for (int code; (code = getch()) != ERR;) {
                    Keystroke stroke{};
                    if (code == KEY_RESIZE) {
                        gDrawPending.store(true);
                    } else if (ReadKeystroke(code, &stroke)) {
                        strokes.push_back(stroke);
                    }
                }
            }
        }
        for (int n = gInterrupts.exchange(0); n > 0; --n) {
            strokes.push_back({InputKey::Interrupt, 0});
        }
        if (!strokes.empty()) {
            Feed(strokes);
            lastDraw = Clock::time_point{};  // answer a key at once
        }
        if (gDrawPending.load() &&
            Clock::now() - lastDraw >= std::chrono::milliseconds(kFrameMilliseconds)) {
            gDrawPending.store(false);
            std::vector<WindowView> windows = platform::desktop::Snapshot();
            std::lock_guard lock(gScreenMutex);
            if (!gRestored.load()) {
                Draw(windows);
            }
            lastDraw = Clock::now();
        }
    }
}

void InstallSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGWINCH}) {
        ::sigaction(signal, &action, nullptr);
    }
}

void SetUpColours() {
    if (!has_colors() || start_color() == ERR) {
        return;
    }
    gColours = init_pair(kDesktopPair, COLOR_WHITE, COLOR_BLUE) != ERR &&
               init_pair(kDialogPair, COLOR_BLACK, COLOR_WHITE) != ERR &&
               init_pair(kShadowPair, COLOR_BLACK, COLOR_BLACK) != ERR;
}

}  // namespace

void StartTerminalRenderer() {
    static bool started = false;
    if (started || !::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO)) {
        return;
    }
    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        return;
    }
    // Our own handlers first, so that ncurses leaves SIGINT, SIGTERM and SIGWINCH to us.
    InstallSignalHandlers();
    gWakeRead = wake[0];
    gWakeWrite = wake[1];
    if (newterm(nullptr, stdout, stdin) == nullptr) {
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGWINCH}) {
            ::signal(signal, SIG_DFL);
        }
        return;
    }
    started = true;
    set_escdelay(kEscapeDelayMilliseconds);
    cbreak();
    noecho();
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    curs_set(0);
    SetUpColours();
    // Alt-Down as xterm-like terminals send it, whether or not the terminal description has it.
    gAltDownKey = key_defined(kAltDownSequence);
    if (gAltDownKey <= 0 && define_key(kAltDownSequence, kOwnAltDownCode) == OK) {
        gAltDownKey = kOwnAltDownCode;
    }
    platform::AddProcessEndHook(RestoreTerminal);
    std::atexit(RestoreTerminal);
    platform::desktop::SetChangeObserver(OnDesktopChange);
    std::thread(RunRenderer).detach();
}

}  // namespace terminal
