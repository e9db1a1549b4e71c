#pragma once
#include <windows.h>

namespace support {

// The tool's language flag on this system: 1 (Chinese interface) when the system's
// default language is 0x0804, else 0, as the panel derives it. Tests choose the
// system language per run through LANG (scripts/wine-run.sh).
inline int SystemLanguage()
{
    return ::GetSystemDefaultLangID() == 0x0804 ? 1 : 0;
}

}  // namespace support
