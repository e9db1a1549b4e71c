#include "repair/SystemVersion.h"

#include <windows.h>
#include <winternl.h>

namespace
{
// OSMajorVersion and OSMinorVersion in the PEB; the layout is fixed per architecture.
#if defined(_WIN64)
const size_t kPebMajorOffset = 0x118;
const size_t kPebMinorOffset = 0x11C;
#else
const size_t kPebMajorOffset = 0xA4;
const size_t kPebMinorOffset = 0xA8;
#endif

// GCC takes the segment-relative read inside NtCurrentTeb() for a read at a fixed
// address and warns; the read is of this thread's own TEB.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
__attribute__((noinline)) const BYTE* CurrentPeb()
{
    return reinterpret_cast<const BYTE*>(NtCurrentTeb()->ProcessEnvironmentBlock);
}
#pragma GCC diagnostic pop

ULONG ReadPebUlong(const BYTE* peb, size_t offset)
{
    return *reinterpret_cast<const ULONG*>(peb + offset);
}
}

SystemVersion GetPebSystemVersion()
{
    const BYTE* peb = CurrentPeb();
    SystemVersion version;
    version.major = ReadPebUlong(peb, kPebMajorOffset);
    version.minor = ReadPebUlong(peb, kPebMinorOffset);
    return version;
}

int IsSupportedVersion(unsigned long major, unsigned long minor)
{
    return major == 10 && minor == 0 ? 1 : 0;
}

int IsSupportedSystemVersion()
{
    const SystemVersion version = GetPebSystemVersion();
    return IsSupportedVersion(version.major, version.minor);
}
