#include "repair/FeedbackLibrary.h"

#include "repair/ExeFolder.h"
#include "win/SystemLibrary.h"

#include <cstdint>
#include <cwchar>

namespace
{
const char* const kEntryPointNames[CFeedbackLibrary::kEntryPointCount] = {
    "InitFreedbackDll",
    "FeedbackQuestion",
    "OpenUrl",
    "GetInterNetState",
    "CustomerFeedback",
    "CustomerFeedbackEx",
    "WriteCustomerFeedbackInfoFile",
    "GetToolIsNewVersion",
    "OpenToolDownUrl",
};
}

std::wstring FormatFeedbackTime(__time64_t seconds)
{
    const int low = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(seconds)));
    wchar_t text[16];
    swprintf(text, sizeof(text) / sizeof(text[0]), L"%d", low);
    return text;
}

std::wstring MakeFeedbackTimeText()
{
    return FormatFeedbackTime(_time64(NULL));
}

CFeedbackLibrary::CFeedbackLibrary() : m_hModule(NULL), m_procs()
{
}

int CFeedbackLibrary::Load()
{
    return Load(GetExeFolder());
}

int CFeedbackLibrary::Load(const std::wstring& folder)
{
    if (IsLoaded())
        return 1;
    // An unknown folder would turn the path into one relative to the current drive.
    if (folder.empty())
        return 0;
    const std::wstring path = folder + L"\\" + kFeedbackLibraryFileName;
    // The full path names the library itself; its own dependencies come from System32
    // only, never from the tool's folder, wherever the system can restrict them.
    HMODULE module = win::LoadLibraryAt(path);
    if (!module)
        return 0;
    m_hModule = module;
    FARPROC procs[kEntryPointCount] = {};
    for (int i = 0; i < kEntryPointCount; ++i) {
        procs[i] = ::GetProcAddress(module, kEntryPointNames[i]);
        if (!procs[i])
            return 0;
    }
    for (int i = 0; i < kEntryPointCount; ++i)
        m_procs[i] = procs[i];
    return 1;
}

int CFeedbackLibrary::IsLoaded() const
{
    return m_procs[kEntryPointCount - 1] != NULL ? 1 : 0;
}

int CFeedbackLibrary::InitFreedbackDll() const
{
    return IsLoaded() ? Entry<InitFreedbackDllProc>(kInitFreedbackDll)() : 0;
}

int CFeedbackLibrary::GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* version) const
{
    return IsLoaded() ? Entry<GetToolIsNewVersionProc>(kGetToolIsNewVersion)(toolId, version) : 0;
}

int CFeedbackLibrary::OpenToolDownUrl() const
{
    return IsLoaded() ? Entry<OpenToolDownUrlProc>(kOpenToolDownUrl)() : 0;
}

int CFeedbackLibrary::FeedbackQuestion(const wchar_t* toolId, const wchar_t* version) const
{
    return IsLoaded() ? Entry<FeedbackQuestionProc>(kFeedbackQuestion)(toolId, version) : 0;
}

int CFeedbackLibrary::OpenUrl(const wchar_t* url) const
{
    return IsLoaded() ? Entry<OpenUrlProc>(kOpenUrl)(url) : 0;
}

int CFeedbackLibrary::CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* version, int code,
                                         const wchar_t* timeText) const
{
    return IsLoaded() ? Entry<CustomerFeedbackExProc>(kCustomerFeedbackEx)(toolId, version, code, timeText) : 0;
}
