#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace spine_test {

using support::PathExists;
using support::ReadBytes;
using support::RemoveTree;
using support::TempFolder;
using support::WriteBytes;

std::string Utf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// "key=value" lines separated by CRLF, as the simulator records its run.
std::map<std::string, std::string> ParseKeyValues(const std::string& bytes);

// The delivered simulator, build/dist/LUMAFWU/LUMAFWU.exe, as a Windows path.
std::wstring SimulatorPath();

// A temporary folder laid out like the tool's own: <root>\LUMAFWU\LUMAFWU.exe with a
// LUMAFWU.behavior beside it (no LUMAFWU folder at all when withSimulator is false).
class ToolFolder {
public:
    explicit ToolFolder(const std::string& behavior, bool withSimulator = true);
    const std::wstring& Root() const { return m_temp.Path(); }
    std::wstring Lumafwu() const { return Root() + L"\\LUMAFWU"; }
    std::wstring LogPath() const { return Lumafwu() + L"\\LUMAFWUlog.txt"; }
    // What the simulator recorded of its last run (cwd, cmdline, pid, exit); empty when it
    // has not run.
    std::map<std::string, std::string> Ran() const;

private:
    TempFolder m_temp;
};

// A message-only window on the calling thread that records what it is sent.
class TestPanel {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        DWORD thread;
    };
    TestPanel();
    ~TestPanel();
    TestPanel(const TestPanel&) = delete;
    TestPanel& operator=(const TestPanel&) = delete;
    HWND Hwnd() const { return m_hwnd; }

    // WM_EXECUTE_PROMPT_CLOSE and WM_REPAIR_RESULT.
    std::vector<Message> messages;
    // Called inside the window procedure for each recorded message.
    std::function<void(const Message&)> onMessage;
    // WM_FLASH_STATE, apart: only some tests look at it.
    std::vector<Message> flashStates;
    std::function<void(const Message&)> onFlashState;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd = nullptr;
};

// Dispatches the calling thread's messages until done() holds or timeoutMs has passed.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Runs fn on a new thread while the calling thread keeps dispatching its messages; false
// when it did not end within timeoutMs (the thread is then left running).
bool RunOnWorker(const std::function<void()>& fn, DWORD timeoutMs);

}  // namespace spine_test
