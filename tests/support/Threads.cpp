#include "tests/support/Threads.h"

namespace support {

namespace {

DWORD WINAPI JobThread(LPVOID parameter)
{
    try {
        (*static_cast<std::function<void()>*>(parameter))();
    } catch (...) {
    }
    return 0;
}

}  // namespace

HANDLE StartJobThread(std::function<void()>* job)
{
    return ::CreateThread(nullptr, 0, JobThread, job, 0, nullptr);
}

}  // namespace support
