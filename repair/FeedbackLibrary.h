#pragma once
#include <windows.h>

#include <ctime>
#include <string>

#include "dialogs/FeedbackCalls.h"
#include "win/JobThread.h"

// How the tool names itself to the feedback library.
inline constexpr wchar_t kFeedbackToolId[] = L"10083";
inline constexpr wchar_t kFeedbackToolVersion[] = L"1.0.0";

inline constexpr wchar_t kFeedbackLibraryFileName[] = L"CorvelFeedbackInformation.dll";

// The vendor's knowledge base: its root (the feedback dialog's "更多方案") and the
// page of the main panel's "更多工具".
inline constexpr wchar_t kKnowledgeBaseRootUrl[] = L"https://support.corvel.example/";
inline constexpr wchar_t kKnowledgeBaseMoreToolsUrl[] = L"https://support.corvel.example/detail/dc_172545.html";

// The low 32 bits of the seconds since 1970, as a signed decimal.
std::wstring FormatFeedbackTime(__time64_t seconds);
// The time text for "now" (_time64).
std::wstring MakeFeedbackTimeText();

// Binding to the maker's feedback library beside the executable. The library is loaded
// once and never unloaded; every entry point is cdecl, takes UTF-16 strings and
// returns int. Until it has been loaded the callers call nothing and return 0.
//
// The library gets a thread of its own for the life of the process (Thread()). It is
// loaded there, as that thread's first job, and the tool makes every call there, one at
// a time and in order: what its DllMain, its static constructors and its calls keep on
// their thread (windows, timers, a COM apartment, thread-local state) lives on where
// the library is called.
class CFeedbackLibrary
{
public:
    typedef int(__cdecl* InitFreedbackDllProc)();
    typedef int(__cdecl* FeedbackQuestionProc)(const wchar_t* toolId, const wchar_t* version);
    typedef int(__cdecl* OpenUrlProc)(const wchar_t* url);
    typedef int(__cdecl* GetInterNetStateProc)();
    typedef int(__cdecl* CustomerFeedbackProc)(const wchar_t* toolId, const wchar_t* version, int code);
    typedef int(__cdecl* CustomerFeedbackExProc)(const wchar_t* toolId, const wchar_t* version, int code,
                                                 const wchar_t* timeText);
    typedef int(__cdecl* WriteCustomerFeedbackInfoFileProc)(const wchar_t* path);
    typedef int(__cdecl* GetToolIsNewVersionProc)(const wchar_t* toolId, const wchar_t* version);
    typedef int(__cdecl* OpenToolDownUrlProc)();

    // The entry points in the order they are looked up.
    enum EntryPoint
    {
        kInitFreedbackDll,
        kFeedbackQuestion,
        kOpenUrl,
        kGetInterNetState,
        kCustomerFeedback,
        kCustomerFeedbackEx,
        kWriteCustomerFeedbackInfoFile,
        kGetToolIsNewVersion,
        kOpenToolDownUrl,
        kEntryPointCount
    };

    CFeedbackLibrary();
    CFeedbackLibrary(const CFeedbackLibrary&) = delete;
    CFeedbackLibrary& operator=(const CFeedbackLibrary&) = delete;

    // Loads the library from the executable's folder (or `folder`) on the library's
    // thread, started here, and waits for it, taking the messages other threads send
    // meanwhile. 1 when all nine entry points were found, 0 at the first one missing, when
    // the library does not load or the thread cannot start.
    int Load();
    int Load(const std::wstring& folder);
    // The load itself, for a caller that waits its own way: runs only as a job on Thread()
    // (0 anywhere else).
    int LoadOnLibraryThread(const std::wstring& folder);
    int IsLoaded() const;

    // The binding the tool uses: one for the process, never destroyed, as the library
    // and its thread are never unloaded or stopped.
    static CFeedbackLibrary& ForProcess();
    // The library's thread.
    win::CJobThread& Thread() { return m_thread; }

    int InitFreedbackDll() const;
    int GetToolIsNewVersion(const wchar_t* toolId, const wchar_t* version) const;
    int OpenToolDownUrl() const;
    int FeedbackQuestion(const wchar_t* toolId, const wchar_t* version) const;
    int OpenUrl(const wchar_t* url) const;
    int CustomerFeedbackEx(const wchar_t* toolId, const wchar_t* version, int code, const wchar_t* timeText) const;

private:
    template <typename Proc>
    Proc Entry(EntryPoint entry) const
    {
        return reinterpret_cast<Proc>(m_procs[entry]);
    }

    HMODULE m_hModule;
    FARPROC m_procs[kEntryPointCount];
    win::CJobThread m_thread;
};

// The feedback dialog's calls into this library, made on its thread: an answer is
// reported with the current time, then the question page opens.
FeedbackCalls FeedbackCallsFor(CFeedbackLibrary& library);
