// A private library of a feedback-library variant, shipped beside it. Like any
// library it uses system libraries: one of its imports (icmp.dll) forwards to another
// (iphlpapi.dll), which the loader then looks for on its own.
#include <windows.h>
#include <ipexport.h>
#include <icmpapi.h>

namespace
{
// Read through the import table when the library loads, so that the import stays.
HANDLE(WINAPI* volatile g_icmpCreateFile)() = &IcmpCreateFile;
}

extern "C" __declspec(dllexport) int __cdecl OrvHelperValue()
{
    return g_icmpCreateFile != nullptr ? 1 : 0;
}
