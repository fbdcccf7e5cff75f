// Threads on Windows: CreateThread, with the body's result read back as the thread's exit code.
#include "platform/thread.h"

#include <windows.h>

#include <new>

namespace platform {

struct ThreadObject {
    HANDLE handle;
};

namespace {

// What the new thread runs; it owns and frees this record, so the handle can be released at
// any time.
struct ThreadStartRecord {
    ThreadBody body;
    void* argument;
};

DWORD WINAPI ThreadStart(LPVOID parameter) {
    auto* start = static_cast<ThreadStartRecord*>(parameter);
    ThreadBody body = start->body;
    void* argument = start->argument;
    delete start;
    return static_cast<DWORD>(body(argument));
}

}  // namespace

ThreadHandle StartThread(ThreadBody body, void* argument) {
    auto* t = new (std::nothrow) ThreadObject{nullptr};
    auto* start = new (std::nothrow) ThreadStartRecord{body, argument};
    if (t != nullptr && start != nullptr) {
        t->handle = ::CreateThread(nullptr, 0, ThreadStart, start, 0, nullptr);
        if (t->handle != nullptr) {
            return t;
        }
    }
    delete start;
    delete t;
    return nullptr;
}

bool ThreadHasEnded(ThreadHandle thread, std::int32_t* result) {
    // The handle is signalled once the thread has ended, and the wait orders everything the
    // thread wrote before the caller's next reads. The exit code alone cannot tell an ended
    // thread from one whose result is 259 (STILL_ACTIVE).
    if (::WaitForSingleObject(thread->handle, 0) != WAIT_OBJECT_0) {
        return false;
    }
    DWORD code = 0;
    if (!::GetExitCodeThread(thread->handle, &code)) {
        return false;
    }
    *result = static_cast<std::int32_t>(code);
    return true;
}

void ReleaseThread(ThreadHandle thread) {
    if (thread != nullptr) {
        ::CloseHandle(thread->handle);
        delete thread;
    }
}

}  // namespace platform
