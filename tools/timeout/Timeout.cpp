// timeout [/t] N [/nobreak]: waits N seconds (-1: for ever), counting down on the console.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

void Out(const std::string& text)
{
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD n = 0;
    if (out && out != INVALID_HANDLE_VALUE)
        ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
}

int Fail(const std::string& message)
{
    Out("ERROR: " + message + "\r\nType \"TIMEOUT /?\" for usage.\r\n");
    return 1;
}

bool Is(const wchar_t* arg, const wchar_t* option)
{
    return (arg[0] == L'/' || arg[0] == L'-') && _wcsicmp(arg + 1, option) == 0;
}

bool ParseSeconds(const wchar_t* text, long& seconds)
{
    wchar_t* end = nullptr;
    seconds = std::wcstol(text, &end, 10);
    return end != text && *end == L'\0';
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    long seconds = 0;
    bool haveSeconds = false;
    bool noBreak = false;
    for (int i = 1; i < argc; ++i) {
        const wchar_t* value = argv[i];
        if (Is(argv[i], L"?")) {
            Out("TIMEOUT [/T] timeout [/NOBREAK]\r\n\r\n"
                "    /T        timeout       Specifies the number of seconds to wait.\r\n"
                "                            Valid range is -1 to 99999 seconds.\r\n\r\n"
                "    /NOBREAK                Ignore key presses and wait specified time.\r\n");
            return 0;
        }
        if (Is(argv[i], L"nobreak")) {
            noBreak = true;
            continue;
        }
        if (Is(argv[i], L"t")) {
            if (++i >= argc)
                return Fail("Invalid syntax. Value expected for '/t'.");
            value = argv[i];
        } else if (value[0] == L'/') {
            return Fail("Invalid argument/option - '" + std::string(value, value + std::wcslen(value)) + "'.");
        }
        if (haveSeconds)
            return Fail("Invalid syntax. Default option is not allowed more than '1' time(s).");
        if (!ParseSeconds(value, seconds) || seconds < -1 || seconds > 99999)
            return Fail("Invalid value for timeout (/T) specified. Valid range is -1 to 99999.");
        haveSeconds = true;
    }
    if (!haveSeconds)
        return Fail("Invalid syntax. Value expected for '/t'.");

    if (seconds < 0) {
        Out(noBreak ? "\r\nPress CTRL+C to quit ...\r\n" : "\r\nPress any key to continue ...\r\n");
        ::Sleep(INFINITE);
    }
    // The number is redrawn in place each second, as the console countdown does.
    const std::string tail = noBreak ? " seconds, press CTRL+C to quit ..." : " seconds, press a key to continue ...";
    const size_t width = std::to_string(seconds).size();
    auto number = [width](long n) {
        std::string s = std::to_string(n);
        return std::string(width - s.size(), ' ') + s;
    };
    Out("\r\nWaiting for " + number(seconds) + tail);
    const ULONGLONG start = ::GetTickCount64();
    for (long left = seconds; left > 0; --left) {
        const ULONGLONG due = start + static_cast<ULONGLONG>(seconds - left + 1) * 1000;
        const ULONGLONG now = ::GetTickCount64();
        if (due > now)
            ::Sleep(static_cast<DWORD>(due - now));
        Out(std::string(width + tail.size(), '\b') + number(left - 1) + tail);
    }
    Out("\r\n");
    return 0;
}
