#include "repair/CommandRunner.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "win/Handle.h"

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

std::atomic<IsWow64ProcessFn> g_isWow64Process{nullptr};

void AppendDecoded(UINT codePage, const char* bytes, size_t count, std::wstring& out)
{
    if (count == 0)
        return;
    const int size = static_cast<int>(count);
    const int n = ::MultiByteToWideChar(codePage, 0, bytes, size, nullptr, 0);
    if (n <= 0)
        return;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n));
    ::MultiByteToWideChar(codePage, 0, bytes, size, &out[at], n);
}

// Turns the WOW64 file-system redirection of this thread off for its lifetime.
class RedirectionOff {
public:
    explicit RedirectionOff(bool wow64)
    {
        if (!wow64)
            m_ok = true;
        else if (::Wow64DisableWow64FsRedirection(&m_saved))
            m_ok = m_active = true;
    }
    ~RedirectionOff()
    {
        if (m_active)
            ::Wow64RevertWow64FsRedirection(m_saved);
    }
    RedirectionOff(const RedirectionOff&) = delete;
    RedirectionOff& operator=(const RedirectionOff&) = delete;
    bool ok() const { return m_ok; }

private:
    PVOID m_saved = nullptr;
    bool m_ok = false;
    bool m_active = false;
};

std::wstring SystemCmdPath()
{
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT n = ::GetSystemDirectoryW(folder, MAX_PATH + 1);
    if (n == 0 || n > MAX_PATH)
        return std::wstring();
    return std::wstring(folder, n) + L"\\cmd.exe";
}

}  // namespace

CChunkDecoder::CChunkDecoder(UINT codePage) : m_codePage(codePage == CP_ACP ? ::GetACP() : codePage)
{
    CPINFO info = {};
    m_bUtf8 = m_codePage == CP_UTF8;
    m_bDoubleByte = !m_bUtf8 && ::GetCPInfo(m_codePage, &info) && info.MaxCharSize == 2;
}

size_t CChunkDecoder::CompleteLength() const
{
    const size_t n = m_pending.size();
    if (m_bDoubleByte) {
        // Lead and trail bytes overlap, so only a walk from the start tells them apart.
        size_t i = 0;
        while (i < n) {
            if (!::IsDBCSLeadByteEx(m_codePage, static_cast<BYTE>(m_pending[i])))
                ++i;
            else if (i + 1 < n)
                i += 2;
            else
                return i;
        }
        return n;
    }
    if (m_bUtf8) {
        for (size_t back = 1; back <= 3 && back <= n; ++back) {
            const unsigned char c = static_cast<unsigned char>(m_pending[n - back]);
            if ((c & 0xC0) == 0x80)
                continue;
            const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
            return need > back ? n - back : n;
        }
    }
    return n;
}

void CChunkDecoder::Feed(const char* bytes, size_t count, std::wstring& out)
{
    std::remove_copy(bytes, bytes + count, std::back_inserter(m_pending), '\0');
    const size_t complete = CompleteLength();
    AppendDecoded(m_codePage, m_pending.data(), complete, out);
    m_pending.erase(0, complete);
}

void CChunkDecoder::Finish(std::wstring& out)
{
    AppendDecoded(m_codePage, m_pending.data(), m_pending.size(), out);
    m_pending.clear();
}

int IsWow64()
{
    IsWow64ProcessFn fn = g_isWow64Process.load();
    if (!fn) {
        HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        if (!kernel)
            return 0;
        fn = reinterpret_cast<IsWow64ProcessFn>(::GetProcAddress(kernel, "IsWow64Process"));
        if (!fn)
            return 0;
        g_isWow64Process.store(fn);
    }
    BOOL wow64 = FALSE;
    return fn(::GetCurrentProcess(), &wow64) && wow64 ? 1 : 0;
}

std::wstring BuildCommandLine(const std::wstring& command)
{
    std::wstring line = L"cmd /D /V:OFF /C " + command;
    if (line.size() + 1 > kCommandLineChars)
        return std::wstring();
    return line;
}

int RunCommand(std::wstring command, std::wstring& output)
{
    return RunCommandObserved(std::move(command), output, ChunkObserver());
}

static int RunCommandRead(std::wstring command, std::wstring& output, const ChunkObserver& observer, size_t keepBytes,
                          const TextObserver& overflow, const std::wstring& folder)
{
    const std::wstring line = BuildCommandLine(command);
    const std::wstring cmdPath = SystemCmdPath();
    if (line.empty() || cmdPath.empty())
        return 0;

    // The system folder then means the native one, for cmd.exe and what it starts.
    RedirectionOff redirection(IsWow64() != 0);
    if (!redirection.ok())
        return 0;

    SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
    win::UniqueHandle readEnd;
    win::UniqueHandle writeEnd;
    if (!::CreatePipe(readEnd.out(), writeEnd.out(), &sa, 0))
        return 0;
    // Only the write end goes to the child; an inherited read end would be held open by
    // every process the command leaves behind.
    if (!::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0))
        return 0;

    STARTUPINFOW si = {};
    si.cb = sizeof si;
    ::GetStartupInfoW(&si);
    si.hStdOutput = writeEnd.get();
    si.hStdError = writeEnd.get();
    si.wShowWindow = SW_HIDE;
    si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;

    std::vector<wchar_t> buffer(kCommandLineChars, L'\0');
    std::copy(line.begin(), line.end(), buffer.begin());

    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessW(cmdPath.c_str(), buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return 0;
    win::UniqueHandle process(pi.hProcess);
    win::UniqueHandle thread(pi.hThread);
    // From here the pipe ends once cmd.exe and everything that inherited the write end
    // have ended.
    writeEnd.reset();

    CChunkDecoder decoder;
    char chunk[kReadChunkBytes + 1];
    size_t kept = 0;
    bool overflowing = false;
    std::wstring rest;
    for (;;) {
        std::fill(std::begin(chunk), std::end(chunk), '\0');
        DWORD count = 0;
        if (!::ReadFile(readEnd.get(), chunk, kReadChunkBytes, &count, nullptr))
            break;
        if (observer)
            observer(chunk, count);
        if (kept < keepBytes || count == 0) {
            decoder.Feed(chunk, count, output);
            kept += count;
            ::Sleep(kChunkPauseMs);
            continue;
        }
        overflowing = true;
        rest.clear();
        decoder.Feed(chunk, count, rest);
        if (overflow && !rest.empty())
            overflow(rest);
    }
    rest.clear();
    decoder.Finish(overflowing ? rest : output);
    if (overflow && !rest.empty())
        overflow(rest);
    readEnd.reset();

    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.get(), &exitCode);
    thread.reset();
    process.reset();
    return 1;
}

int RunCommandObserved(std::wstring command, std::wstring& output, const ChunkObserver& observer)
{
    return RunCommandRead(std::move(command), output, observer, static_cast<size_t>(-1), TextObserver(), std::wstring());
}

int RunCommandLimited(std::wstring command, std::wstring& output, size_t keepBytes, const TextObserver& overflow,
                      const std::wstring& folder)
{
    return RunCommandRead(std::move(command), output, ChunkObserver(), keepBytes, overflow, folder);
}
