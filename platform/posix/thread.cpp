// Threads on POSIX: detached std::threads whose result is published through an atomic flag.
#include "platform/thread.h"

#include <atomic>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

namespace platform {

struct ThreadObject {
    std::atomic<bool> ended{false};
    std::atomic<int> owners{2};  // the handle and the running thread
    std::int32_t result = 0;
};

namespace {

void Release(ThreadObject* t) {
    if (t->owners.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        delete t;
    }
}

}  // namespace

ThreadHandle StartThread(ThreadBody body, void* argument) {
    auto* t = new (std::nothrow) ThreadObject;
    if (t == nullptr) {
        return nullptr;
    }
    try {
        std::thread([t, body, argument] {
            t->result = body(argument);
            t->ended.store(true, std::memory_order_release);
            Release(t);
        }).detach();
    } catch (const std::system_error&) {
        delete t;
        return nullptr;
    }
    return t;
}

bool ThreadHasEnded(ThreadHandle thread, std::int32_t* result) {
    if (!thread->ended.load(std::memory_order_acquire)) {
        return false;
    }
    *result = thread->result;
    return true;
}

void ReleaseThread(ThreadHandle thread) {
    if (thread != nullptr) {
        Release(thread);
    }
}

}  // namespace platform
