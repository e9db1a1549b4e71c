#pragma once
#include <windows.h>

#include <ctime>
#include <string>

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
// How long the tool waits for one call into the library before it stops waiting (the
// call's thread is left to finish on its own): a library that never returns must not
// keep a progress prompt up for good.
inline constexpr unsigned kFeedbackPatienceMs = 30000;

// The time text for "now" (_time64).
std::wstring MakeFeedbackTimeText();

// Binding to the maker's feedback library beside the executable. The library is loaded
// once and never unloaded; every entry point is cdecl, takes UTF-16 strings and
// returns int. Until Load() has succeeded the callers call nothing and return 0.
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

    // Loads the library from the executable's folder. 1 when all nine entry points were
    // found, 0 at the first one missing (or when the library does not load).
    int Load();
    // The same from another folder (tests).
    int Load(const std::wstring& folder);
    int IsLoaded() const;

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
};
