#include "repair/PowerStatus.h"

namespace {

constexpr BYTE kAcOffline = 0;
constexpr BYTE kNoSystemBattery = 128;
constexpr BYTE kUnknownBattery = 255;

bool ForcedOnBattery()
{
    wchar_t value[4] = {};
    return ::GetEnvironmentVariableW(L"ORV_FORCE_ON_BATTERY", value, 4) == 1 && value[0] == L'1';
}

}  // namespace

bool IsOnBattery(const SYSTEM_POWER_STATUS& status)
{
    return status.ACLineStatus == kAcOffline && status.BatteryFlag != kNoSystemBattery &&
           status.BatteryFlag != kUnknownBattery;
}

bool MachineRunsOnBattery()
{
    if (ForcedOnBattery())
        return true;
    SYSTEM_POWER_STATUS status = {};
    return ::GetSystemPowerStatus(&status) && IsOnBattery(status);
}
