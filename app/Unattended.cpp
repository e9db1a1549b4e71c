#include "app/Unattended.h"

#include <cwchar>
#include <cwctype>
#include <string>

#include "repair/LUMAFWUChildDlg.h"
#include "repair/RepairLock.h"
#include "repair/SystemVersion.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The next argument, quotes removed; backslashes play no part, since neither switch
// holds one.
std::wstring NextArgument(const wchar_t*& p) {
    while (IsBlank(*p)) ++p;
    std::wstring argument;
    bool quoted = false;
    for (; *p && (quoted || !IsBlank(*p)); ++p) {
        if (*p == L'"') quoted = !quoted;
        else argument += static_cast<wchar_t>(std::towlower(*p));
    }
    return argument;
}

}  // namespace

bool IsUnattendedCommandLine(const wchar_t* commandLine) {
    if (!commandLine) return false;
    const wchar_t* p = commandLine;
    // The program's name: up to the closing quote when quoted, else up to a blank.
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"') ++p;
        if (*p) ++p;
    } else {
        while (*p && !IsBlank(*p)) ++p;
    }
    while (*p) {
        const std::wstring argument = NextArgument(p);
        if (argument == L"/quiet" || argument == L"/q") return true;
    }
    return false;
}

int UnattendedExitCode(RepairOutcome outcome) {
    switch (outcome) {
    case RepairOutcome::Success: return kExitRepaired;
    case RepairOutcome::Failed: return kExitFailed;
    case RepairOutcome::NoDevice: return kExitNoDevice;
    case RepairOutcome::Busy: return kExitBusy;
    case RepairOutcome::OnBattery: return kExitOnBattery;
    case RepairOutcome::None:
    case RepairOutcome::CommandFailed:
    case RepairOutcome::LogUnreadable: break;
    }
    return kExitNotRun;
}

DWORD UnattendedLockWait(const wchar_t* value) {
    if (!value || !std::iswdigit(value[0])) return kUnattendedLockWaitMs;
    wchar_t* end = nullptr;
    const unsigned long long ms = std::wcstoull(value, &end, 10);
    if (*end || ms > kUnattendedLockWaitMs) return kUnattendedLockWaitMs;
    return static_cast<DWORD>(ms);
}

int RunUnattended() {
    try {
        if (!IsSupportedSystemVersion()) return kExitUnsupported;
        wchar_t wait[16] = {};
        const DWORD length = ::GetEnvironmentVariableW(L"ORV_REPAIR_LOCK_WAIT_MS", wait, 16);
        CRepairContext repair;
        // The records are the ones a windowed run on this system writes.
        repair.SetLanguage(CLUMAFWUChildDlg::LanguageFromLangId(::GetSystemDefaultLangID()));
        repair.SetLockWait(UnattendedLockWait(length > 0 && length < 16 ? wait : nullptr));
        repair.RunRepair();
        return UnattendedExitCode(repair.GetOutcome());
    } catch (...) {
        return kExitNotRun;
    }
}
