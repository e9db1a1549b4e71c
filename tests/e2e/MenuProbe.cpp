// A message hook library that the tests place in the tool's user-interface thread:
// menus cannot be read from another process under Wine, so the probe reads the
// window's system menu from inside and writes it to menuprobe-<pid>.txt beside
// itself, one item per line: id, MFT_ type flags and text, tab-separated, UTF-8.
#include <windows.h>

#include <string>

namespace {

HMODULE g_module = nullptr;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                        nullptr);
    std::string out(n, '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring ReportPath() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring folder = path;
    folder.resize(folder.rfind(L'\\') + 1);
    return folder + L"menuprobe-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
}

void Report(HWND window) {
    std::wstring text;
    if (HMENU menu = ::GetSystemMenu(window, FALSE)) {
        const int n = ::GetMenuItemCount(menu);
        for (int i = 0; i < n; ++i) {
            wchar_t name[256] = {};
            MENUITEMINFOW info{};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING;
            info.dwTypeData = name;
            info.cch = 255;
            if (!::GetMenuItemInfoW(menu, i, TRUE, &info)) continue;
            text += std::to_wstring(info.wID) + L"\t" + std::to_wstring(info.fType) + L"\t" + name + L"\n";
        }
    }
    const std::string bytes = Utf8(text);
    // Written under a temporary name and renamed, so that a reader never sees half of it.
    const std::wstring path = ReportPath(), partial = path + L".part";
    HANDLE file = ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
    ::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK MenuProbeGetMessage(int code, WPARAM wp, LPARAM lp) {
    static const UINT probe = ::RegisterWindowMessageW(L"Orvane.E2E.ReadSystemMenu");
    const MSG* msg = reinterpret_cast<const MSG*>(lp);
    if (code == HC_ACTION && wp == PM_REMOVE && msg && msg->message == probe) Report(msg->hwnd);
    return ::CallNextHookEx(nullptr, code, wp, lp);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}
