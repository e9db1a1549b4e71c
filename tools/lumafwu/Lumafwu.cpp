// Stand-in for the vendor's firmware updater: prints progress, writes LUMAFWUlog.txt in
// its current folder, and can be told to misbehave in the ways the repair must survive.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/lumafwu/Behavior.h"

namespace {

std::wstring ExePath()
{
    wchar_t path[4096] = {};
    ::GetModuleFileNameW(nullptr, path, 4096);
    return path;
}

std::wstring Beside(const std::wstring& name)
{
    const std::wstring exe = ExePath();
    return exe.substr(0, exe.rfind(L'\\') + 1) + name;
}

std::string Narrow(UINT codePage, const std::wstring& text)
{
    const int n = ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        ::WideCharToMultiByte(codePage, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

// The program that started this one, and whether it is a 32-bit program on 64-bit
// Windows: under WoW64 the tool must start the native command processor.
std::string ParentRecord()
{
    DWORD parent = 0;
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        PROCESSENTRY32W entry = {};
        entry.dwSize = sizeof entry;
        for (BOOL more = ::Process32FirstW(snapshot, &entry); more; more = ::Process32NextW(snapshot, &entry)) {
            if (entry.th32ProcessID == ::GetCurrentProcessId())
                parent = entry.th32ParentProcessID;
        }
        ::CloseHandle(snapshot);
    }
    std::wstring image;
    BOOL wow64 = FALSE;
    if (HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, parent)) {
        wchar_t path[4096] = {};
        DWORD size = 4096;
        if (::QueryFullProcessImageNameW(process, 0, path, &size))
            image.assign(path, size);
        ::IsWow64Process(process, &wow64);
        ::CloseHandle(process);
    }
    return "parent=" + Narrow(CP_UTF8, image) + "\r\nparent_wow64=" + (wow64 ? "1" : "0") + "\r\n";
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    char block[4096];
    DWORD n = 0;
    while (::ReadFile(f, block, sizeof block, &n, nullptr) && n > 0)
        bytes.append(block, n);
    ::CloseHandle(f);
    return true;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes, DWORD disposition)
{
    HANDLE f = ::CreateFileW(path.c_str(), disposition == OPEN_ALWAYS ? FILE_APPEND_DATA : GENERIC_WRITE,
                             FILE_SHARE_READ, nullptr, disposition, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    DWORD n = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(f);
}

// A new last-write time, the content unchanged: as if this run had written the file.
void TouchFile(const std::wstring& path)
{
    HANDLE f = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return;
    FILETIME now = {};
    ::GetSystemTimeAsFileTime(&now);
    ::SetFileTime(f, nullptr, nullptr, &now);
    ::CloseHandle(f);
}

// Binary writes to standard output: the byte counts the tests ask for arrive unchanged.
void Out(const std::string& bytes)
{
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD n = 0;
    if (out && out != INVALID_HANDLE_VALUE)
        ::WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
}

std::string PreciseNow()
{
    FILETIME ft = {};
    ::GetSystemTimePreciseAsFileTime(&ft);
    const unsigned long long t = (static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return std::to_string(t);
}

std::string LogText(LogKind kind)
{
    const std::string head = "LUMAFWU 2.1.0 firmware update\r\nController: LUMA 2020 lighting\r\n";
    switch (kind) {
    case LogKind::Success:
        return head + "Firmware 1.0.4 written\r\nSuccess\r\n";
    case LogKind::Failure:
        return head + "Firmware write error 0x1F\r\nFailed\r\n";
    case LogKind::NoDevice:
        return "LUMAFWU 2.1.0 firmware update\r\nCan not Find Device\r\n";
    case LogKind::Both:
        return "LUMAFWU 2.1.0 firmware update\r\nCan not Find Device\r\nRetry on second port\r\nSuccess\r\n";
    case LogKind::LowerCase:
        return "success\r\n";
    case LogKind::Gbk:
        return Narrow(936, L"灯效控制器：LUMA 2020\r\n固件写入完成\r\nSuccess\r\n");
    case LogKind::None:
    case LogKind::Empty:
    case LogKind::Touch:
        break;
    }
    return std::string();
}

// The pattern of the "bytes:N" output: lines of 64 bytes whose letter changes per line.
std::string PatternBytes(long long count)
{
    std::string bytes(static_cast<size_t>(count), '\0');
    for (long long i = 0; i < count; ++i)
        bytes[static_cast<size_t>(i)] = (i % 64 == 63) ? '\n' : static_cast<char>('a' + (i / 64) % 26);
    return bytes;
}

void StartChild(int seconds)
{
    std::wstring line = L"\"" + ExePath() + L"\" --child " + std::to_wstring(seconds);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi = {};
    if (::CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc >= 3 && std::wstring(argv[1]) == L"--child") {
        ::Sleep(static_cast<DWORD>(_wtoi(argv[2])) * 1000);
        Out("LUMAFWU helper finished\r\n");
        return 0;
    }

    Behavior b;
    std::string keywords;
    if (ReadFileBytes(Beside(L"LUMAFWU.behavior"), keywords))
        ApplyKeywords(b, keywords);
    if (const char* env = std::getenv("ORV_LUMAFWU_MODE"))
        ApplyKeywords(b, env);

    wchar_t cwd[4096] = {};
    ::GetCurrentDirectoryW(4096, cwd);
    const std::wstring ranPath = Beside(L"LUMAFWU.ran");
    WriteFileBytes(ranPath,
                   "cwd=" + Narrow(CP_UTF8, cwd) + "\r\ncmdline=" + Narrow(CP_UTF8, ::GetCommandLineW()) +
                       "\r\npid=" + std::to_string(::GetCurrentProcessId()) + "\r\nstart=" + PreciseNow() + "\r\n" +
                       ParentRecord(),
                   CREATE_ALWAYS);

    if (!b.quiet) {
        static const char* const steps[] = {
            "LUMAFWU 2.1.0 firmware update tool\r\n",
            "Looking for the lighting controller...\r\n",
            "Writing firmware: 50%\r\n",
            "Writing firmware: 100%\r\n",
        };
        const int count = static_cast<int>(sizeof steps / sizeof steps[0]);
        for (int i = 0; i < count; ++i) {
            Out(steps[i]);
            if (i + 1 < count)
                ::Sleep(static_cast<DWORD>(b.delayMs > 0 ? b.delayMs / (count - 1) : 0));
        }
    }
    for (const std::string& line : b.say)
        Out(line + "\r\n");
    if (b.bytes >= 0)
        Out(PatternBytes(b.bytes));
    if (b.nul)
        Out(std::string("alpha\0beta\r\ngamma\0\0delta\r\n", 26));
    if (b.gbkSplit)
        Out(std::string(4094, '.') + Narrow(936, L"修复成功：灯效正常") + "\r\nend\r\n");

    if (b.log == LogKind::Empty)
        WriteFileBytes(L"LUMAFWUlog.txt", std::string(), CREATE_ALWAYS);
    else if (b.log == LogKind::Touch)
        TouchFile(L"LUMAFWUlog.txt");
    else if (b.log != LogKind::None)
        WriteFileBytes(L"LUMAFWUlog.txt", LogText(b.log), CREATE_ALWAYS);

    if (b.childSeconds >= 0)
        StartChild(b.childSeconds);
    if (b.lingerMs > 0)
        ::Sleep(static_cast<DWORD>(b.lingerMs));
    if (b.hang)
        ::Sleep(INFINITE);

    WriteFileBytes(ranPath, "exit=" + PreciseNow() + "\r\n", OPEN_ALWAYS);
    return b.exitCode;
}
