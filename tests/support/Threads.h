#pragma once
#include <windows.h>

#include <functional>

namespace support {

// Starts a thread that runs *job; an exception ends the job, never the test program.
// The caller keeps *job alive until the thread has ended. Null when no thread started.
HANDLE StartJobThread(std::function<void()>* job);

}  // namespace support
