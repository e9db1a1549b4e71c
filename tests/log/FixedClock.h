#pragma once
#include <windows.h>

namespace spine_test {

inline SYSTEMTIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second, WORD ms)
{
    SYSTEMTIME t = {};
    t.wYear = year;
    t.wMonth = month;
    t.wDay = day;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    t.wMilliseconds = ms;
    return t;
}

// The local time every test record is stamped with: 2020-06-01 09:05:03.007.
inline SYSTEMTIME FixedTime()
{
    return MakeTime(2020, 6, 1, 9, 5, 3, 7);
}

inline void FixedClock(SYSTEMTIME& t)
{
    t = FixedTime();
}

}  // namespace spine_test
