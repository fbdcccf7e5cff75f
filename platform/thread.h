// Threads with an integer result, never joined.
#pragma once

#include <cstdint>

namespace platform {

struct ThreadObject;
using ThreadHandle = ThreadObject*;
using ThreadBody = std::int32_t (*)(void* argument);

// Starts a thread running body(argument). Null when the thread cannot be started.
ThreadHandle StartThread(ThreadBody body, void* argument);
// Non-blocking: true once the thread has ended, with its result in *result. Everything the
// thread wrote before it ended is visible to the caller after a true answer.
bool ThreadHasEnded(ThreadHandle thread, std::int32_t* result);
// Gives the handle back; the thread itself runs on if it has not ended.
void ReleaseThread(ThreadHandle thread);

}  // namespace platform
