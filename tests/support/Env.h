#pragma once
#include <string>

namespace support {

// Sets an environment variable of this process (and so of the processes it starts) for
// its lifetime, or removes it for a null value; the earlier value comes back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value);
    ScopedEnv(const wchar_t* name, const std::wstring& value) : ScopedEnv(name, value.c_str()) {}
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::wstring m_name;
    std::wstring m_old;
    bool m_had = false;
};

}  // namespace support
