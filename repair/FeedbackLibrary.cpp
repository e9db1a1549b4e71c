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
    if (!m_thread.Start())
        return 0;
    const std::shared_ptr<win::CJobTicket> ticket =
        m_thread.Post([this, folder] { return LoadOnLibraryThread(folder); });
    return ticket && win::WaitTakingSentMessages(*ticket, INFINITE) ? ticket->Result() : 0;
}

int CFeedbackLibrary::LoadOnLibraryThread(const std::wstring& folder)
{
    if (!m_thread.Running() || ::GetCurrentThreadId() != m_thread.ThreadId())
        return 0;
    if (IsLoaded())
        return 1;
    // An unknown folder would turn the path into one relative to the current drive.
    if (folder.empty())
        return 0;
    // The full path names the library itself; the libraries it ships beside itself load
    // from there, system libraries only from the system folder.
    HMODULE module = win::LoadLibraryAt(folder + L"\\" + kFeedbackLibraryFileName);
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

CFeedbackLibrary& CFeedbackLibrary::ForProcess()
{
    // Jobs on the library's thread may still use it while the process ends.
    static CFeedbackLibrary* const library = new CFeedbackLibrary();
    return *library;
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

FeedbackCalls FeedbackCallsFor(CFeedbackLibrary& library)
{
    const CFeedbackLibrary* bound = &library;
    FeedbackCalls calls;
    calls.thread = &library.Thread();
    calls.answer = [bound](int code) {
        const std::wstring time = MakeFeedbackTimeText();
        bound->CustomerFeedbackEx(kFeedbackToolId, kFeedbackToolVersion, code, time.c_str());
        return bound->FeedbackQuestion(kFeedbackToolId, kFeedbackToolVersion);
    };
    calls.moreSolutions = [bound] { return bound->OpenUrl(kKnowledgeBaseRootUrl); };
    return calls;
}
