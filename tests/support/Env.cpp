#include "tests/support/Env.h"

#include <windows.h>

namespace support {

ScopedEnv::ScopedEnv(const wchar_t* name, const wchar_t* value) : m_name(name)
{
    const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (n > 0) {
        m_old.resize(n);
        m_old.resize(::GetEnvironmentVariableW(name, &m_old[0], n));
        m_had = true;
    }
    ::SetEnvironmentVariableW(name, value);
}

ScopedEnv::~ScopedEnv()
{
    ::SetEnvironmentVariableW(m_name.c_str(), m_had ? m_old.c_str() : nullptr);
}

}  // namespace support
