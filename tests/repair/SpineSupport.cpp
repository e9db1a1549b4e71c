#include "tests/repair/SpineSupport.h"
#include "tests/support/Threads.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "dialogs/Messages.h"
#include "win/Handle.h"

namespace spine_test {

std::string Utf8(const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text)
{
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        ::MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &out[0], n);
    return out;
}

std::wstring SimulatorPath()
{
    const char* env = std::getenv("ORV_DIST");
    std::wstring dist = FromUtf8(env ? env : ORV_DEFAULT_DIST);
    // A Unix path: Wine's drive Z: is the file system's root.
    if (!dist.empty() && dist[0] == L'/')
        dist = L"Z:" + dist;
    for (wchar_t& c : dist) {
        if (c == L'/')
            c = L'\\';
    }
    return dist + L"\\LUMAFWU\\LUMAFWU.exe";
}

ToolFolder::ToolFolder(const std::string& behavior, bool withSimulator)
{
    if (!withSimulator)
        return;
    ::CreateDirectoryW(Lumafwu().c_str(), nullptr);
    ::CopyFileW(SimulatorPath().c_str(), (Lumafwu() + L"\\LUMAFWU.exe").c_str(), FALSE);
    WriteBytes(Lumafwu() + L"\\LUMAFWU.behavior", behavior);
}

std::map<std::string, std::string> ToolFolder::Ran() const
{
    return ParseKeyValues(ReadBytes(Lumafwu() + L"\\LUMAFWU.ran"));
}

std::map<std::string, std::string> ParseKeyValues(const std::string& bytes)
{
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at < bytes.size()) {
        size_t end = bytes.find("\r\n", at);
        if (end == std::string::npos)
            end = bytes.size();
        const std::string line = bytes.substr(at, end - at);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
        at = end + 2;
    }
    return values;
}

TestPanel::TestPanel()
{
    static const wchar_t* const kClass = L"OrvSpineTestPanel";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);
    m_hwnd = ::CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, this);
}

TestPanel::~TestPanel()
{
    if (m_hwnd)
        ::DestroyWindow(m_hwnd);
}

LRESULT CALLBACK TestPanel::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<TestPanel*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    const bool outcome = message == WM_EXECUTE_PROMPT_CLOSE || message == WM_REPAIR_RESULT;
    if (self && (outcome || message == WM_FLASH_STATE)) {
        std::vector<Message>& list = outcome ? self->messages : self->flashStates;
        const std::function<void(const Message&)>& observer = outcome ? self->onMessage : self->onFlashState;
        try {
            const Message m = {message, wParam, ::GetCurrentThreadId()};
            list.push_back(m);
            if (observer)
                observer(m);
        } catch (...) {
            list.push_back(Message{0, 0, 0});
        }
        return 0;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (done())
            return true;
        const ULONGLONG now = ::GetTickCount64();
        if (now >= end)
            return false;
        // Sent messages are delivered while waiting here.
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 20)), QS_ALLINPUT,
                                      MWMO_INPUTAVAILABLE);
    }
}

bool RunOnWorker(const std::function<void()>& fn, DWORD timeoutMs)
{
    // Left alive with the thread when it does not end in time.
    auto* job = new std::function<void()>(fn);
    win::UniqueHandle thread(support::StartJobThread(job));
    if (!thread) {
        delete job;
        return false;
    }
    const bool ended =
        PumpUntil([&thread] { return ::WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0; }, timeoutMs);
    if (ended)
        delete job;
    return ended;
}

}  // namespace spine_test
