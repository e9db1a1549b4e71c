// Stand-in for the maker's feedback library. It behaves as told by
// CorvelFeedbackInformation.ini beside it and records every call, one line each, in
// CorvelFeedbackInformation.journal beside it, so that tests can drive and observe it.
//
// ini keys (key=value, one per line):
//   init=1|0          result of InitFreedbackDll (default 1)
//   newversion=N      result of GetToolIsNewVersion (default 0; 3 means "newer exists")
//   delay_ms=N        time every call takes before it returns (default 0)
//   init_delay_ms=N   time InitFreedbackDll takes on top of that (default 0)
//   question_window=1 FeedbackQuestion makes a window on its calling thread whose
//                     timer, 500 ms later, journals "QuestionTimerFired" and ends it
//   com=multithreaded|apartment  InitFreedbackDll first enters a COM apartment of that
//                     kind on its calling thread, as a library that uses COM itself
//                     does, and fails (returns 0) when the thread is in another one
//   open=1|0          whether web addresses are really opened (default 1)
//   browser=PATH      program run as "PATH" "address" instead of the default browser,
//                     in this folder, and waited for (up to 10 s) so that tests see it
//   records=FOLDER    where the journal and the thread record below are kept (default:
//                     beside the library); a folder outside the tool's outlives the
//                     tool's exit clean-up
//
// Journal lines: the entry point's name, then each argument, separated by tabs, UTF-8.
// A null string is written as <null>; backslash, tab, CR and LF are escaped.
// CorvelFeedbackInformation.threads, in the same folder, gets a line per call: the
// entry point's name, a tab and the id of the thread that made the call; and "DllMain"
// with the thread that loaded it.
//
// Built with ORV_WITH_HELPER, it imports CorvelFeedbackHelper.dll, shipped beside it,
// as a vendor's library may ship private libraries of its own; that one imports a
// system library in turn.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cwchar>
#include <initializer_list>
#include <string>

#include "win/Handle.h"

namespace
{
HMODULE g_module = NULL;
SRWLOCK g_journalLock = SRWLOCK_INIT;

const wchar_t kDownloadPage[] = L"https://support.corvel.example/tools/download";
const wchar_t kQuestionPage[] = L"https://support.corvel.example/feedback/question";
const DWORD kBrowserWaitMs = 10000;

struct Settings
{
    int init = 1;
    int newVersion = 0;
    DWORD delayMs = 0;
    DWORD initDelayMs = 0;
    int questionWindow = 0;
    std::wstring com;
    int open = 1;
    std::wstring browser;
    std::wstring records;
};

std::wstring ModuleFolder()
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD n = ::GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring full(path, n);
    const size_t slash = full.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}

std::wstring Utf8ToWide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
    std::wstring wide(n, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

std::string WideToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), NULL, 0, NULL, NULL);
    std::string narrow(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], n, NULL, NULL);
    return narrow;
}

std::string ReadFileBytes(const std::wstring& path)
{
    win::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    std::string bytes;
    if (!file)
        return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), chunk, sizeof(chunk), &got, NULL) && got > 0)
        bytes.append(chunk, got);
    return bytes;
}

std::wstring Trim(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

void ApplySetting(Settings& settings, const std::wstring& key, const std::wstring& value)
{
    if (key == L"init")
        settings.init = _wtoi(value.c_str());
    else if (key == L"newversion")
        settings.newVersion = _wtoi(value.c_str());
    else if (key == L"delay_ms")
        settings.delayMs = static_cast<DWORD>(wcstoul(value.c_str(), NULL, 10));
    else if (key == L"init_delay_ms")
        settings.initDelayMs = static_cast<DWORD>(wcstoul(value.c_str(), NULL, 10));
    else if (key == L"question_window")
        settings.questionWindow = _wtoi(value.c_str());
    else if (key == L"com")
        settings.com = value;
    else if (key == L"open")
        settings.open = _wtoi(value.c_str());
    else if (key == L"browser")
        settings.browser = value;
    else if (key == L"records")
        settings.records = value;
}

// Read on every call, so that a test can change the behaviour between calls.
Settings ReadSettings()
{
    Settings settings;
    std::string bytes = ReadFileBytes(ModuleFolder() + L"\\CorvelFeedbackInformation.ini");
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    const std::wstring text = Utf8ToWide(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring line = Trim(text.substr(start, end - start));
        start = end + 1;
        const size_t eq = line.find(L'=');
        if (line.empty() || line[0] == L'#' || line[0] == L';' || eq == std::wstring::npos)
            continue;
        ApplySetting(settings, Trim(line.substr(0, eq)), Trim(line.substr(eq + 1)));
    }
    return settings;
}

std::wstring Field(const wchar_t* text)
{
    if (!text)
        return L"<null>";
    std::wstring out;
    for (const wchar_t* p = text; *p; ++p) {
        switch (*p) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\r': out += L"\\r"; break;
        case L'\n': out += L"\\n"; break;
        default: out += *p; break;
        }
    }
    return out;
}

std::wstring Field(int value)
{
    return std::to_wstring(value);
}

// One whole line per write, flushed, under a lock: calls may come from several threads.
void AppendLine(const wchar_t* fileName, const std::wstring& line)
{
    const std::string bytes = WideToUtf8(line + L"\n");
    const std::wstring records = ReadSettings().records;
    const std::wstring path = (records.empty() ? ModuleFolder() : records) + L"\\" + fileName;
    ::AcquireSRWLockExclusive(&g_journalLock);
    win::UniqueHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    if (file) {
        DWORD written = 0;
        ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL);
    }
    ::ReleaseSRWLockExclusive(&g_journalLock);
}

void Journal(const wchar_t* name, std::initializer_list<std::wstring> args)
{
    std::wstring line = name;
    for (const std::wstring& arg : args)
        line += L"\t" + arg;
    AppendLine(L"CorvelFeedbackInformation.journal", line);
}

// Journals the call and then takes as long as the settings say.
Settings Enter(const wchar_t* name, std::initializer_list<std::wstring> args)
{
    Journal(name, args);
    AppendLine(L"CorvelFeedbackInformation.threads", std::wstring(name) + L"\t" + std::to_wstring(::GetCurrentThreadId()));
    Settings settings = ReadSettings();
    if (settings.delayMs > 0)
        ::Sleep(settings.delayMs);
    return settings;
}

LRESULT CALLBACK QuestionWindowProc(HWND window, UINT message, WPARAM wp, LPARAM lp)
{
    if (message == WM_TIMER) {
        ::KillTimer(window, wp);
        Journal(L"QuestionTimerFired", {});
        ::DestroyWindow(window);
        return 0;
    }
    return ::DefWindowProcW(window, message, wp, lp);
}

// A window of the calling thread with a timer, as a library that shows a page of its
// own keeps one: the timer fires only while that thread lives and serves its messages.
void OpenQuestionWindow()
{
    const wchar_t kClass[] = L"OrvFeedbackQuestion";
    WNDCLASSW wc = {};
    wc.lpfnWndProc = QuestionWindowProc;
    wc.hInstance = g_module;
    wc.lpszClassName = kClass;
    ::RegisterClassW(&wc);
    if (HWND window = ::CreateWindowW(kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, g_module, NULL))
        ::SetTimer(window, 1, 500, NULL);
}

bool IsWebAddress(const wchar_t* url)
{
    if (!url)
        return false;
    if (_wcsnicmp(url, L"http://", 7) == 0)
        return url[7] != L'\0';
    if (_wcsnicmp(url, L"https://", 8) == 0)
        return url[8] != L'\0';
    return false;
}

std::wstring PercentEncode(const wchar_t* text)
{
    static const char kHex[] = "0123456789ABCDEF";
    const std::string bytes = WideToUtf8(text ? text : L"");
    std::wstring out;
    for (unsigned char c : bytes) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
            c == '_' || c == '~') {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += static_cast<wchar_t>(kHex[c >> 4]);
            out += static_cast<wchar_t>(kHex[c & 15]);
        }
    }
    return out;
}

void RunBrowser(const std::wstring& browser, const std::wstring& url)
{
    std::wstring quotedUrl;
    for (wchar_t c : url)
        quotedUrl += c == L'"' ? std::wstring(L"%22") : std::wstring(1, c);
    std::wstring commandLine = L"\"" + browser + L"\" \"" + quotedUrl + L"\"";
    const std::wstring folder = ModuleFolder();
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(browser.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &si, &pi))
        return;
    win::UniqueHandle process(pi.hProcess);
    win::UniqueHandle thread(pi.hThread);
    ::WaitForSingleObject(process.get(), kBrowserWaitMs);
}

// Only http and https addresses are opened; anything else (files, programs, other
// schemes) would let a caller start arbitrary programs through the shell.
int OpenAddress(const Settings& settings, const std::wstring& url)
{
    if (!IsWebAddress(url.c_str()) || !settings.open)
        return 0;
    if (!settings.browser.empty()) {
        RunBrowser(settings.browser, url);
        return 1;
    }
    const HINSTANCE result = ::ShellExecuteW(NULL, L"open", url.c_str(), NULL, NULL, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32 ? 1 : 0;
}
}

extern "C" {

#ifdef ORV_WITH_HELPER
__declspec(dllimport) int __cdecl OrvHelperValue();
#endif

int __cdecl InitFreedbackDll()
{
    const Settings settings = Enter(L"InitFreedbackDll", {});
    if (settings.initDelayMs > 0)
        ::Sleep(settings.initDelayMs);
    if (!settings.com.empty()) {
        const DWORD model = settings.com == L"multithreaded" ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED;
        if (FAILED(::CoInitializeEx(NULL, model)))
            return 0;
    }
#ifdef ORV_WITH_HELPER
    if (OrvHelperValue() != 1)
        return 0;
#endif
    return settings.init;
}

int __cdecl FeedbackQuestion(const wchar_t* toolId, const wchar_t* version)
{
    const Settings settings = Enter(L"FeedbackQuestion", {Field(toolId), Field(version)});
    if (settings.questionWindow)
        OpenQuestionWindow();
    OpenAddress(settings, std::wstring(kQuestionPage) + L"?toolid=" + PercentEncode(toolId) + L"&version=" +
                              PercentEncode(version));
    return 1;
}

int __cdecl OpenUrl(const wchar_t* url)
{
    const Settings settings = Enter(L"OpenUrl", {Field(url)});
    return url ? OpenAddress(settings, url) : 0;
}

int __cdecl GetInterNetState()
{
    Enter(L"GetInterNetState", {});
    return 1;
}

int __cdecl CustomerFeedback(const wchar_t* toolId, const wchar_t* version, int code)
{
    Enter(L"CustomerFeedback", {Field(toolId), Field(version), Field(code)});
    return 1;
}

int __cdecl CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* version, int code, const wchar_t* timeText)
{
    Enter(L"CustomerFeedbackEx", {Field(toolId), Field(version), Field(code), Field(timeText)});
    return 1;
}

int __cdecl WriteCustomerFeedbackInfoFile(const wchar_t* path)
{
    Enter(L"WriteCustomerFeedbackInfoFile", {Field(path)});
    return 1;
}

int __cdecl GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* version)
{
    return Enter(L"GetToolIsNewVersion", {Field(toolId), Field(version)}).newVersion;
}

int __cdecl OpenToolDownUrl()
{
    const Settings settings = Enter(L"OpenToolDownUrl", {});
    OpenAddress(settings, kDownloadPage);
    return 1;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        ::DisableThreadLibraryCalls(instance);
        AppendLine(L"CorvelFeedbackInformation.threads", L"DllMain\t" + std::to_wstring(::GetCurrentThreadId()));
    }
    return TRUE;
}
}
