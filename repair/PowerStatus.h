#pragma once
#include <windows.h>

// Whether a machine with this power status runs on its battery: its AC line is offline
// and it has a battery. An unknown AC line or battery, or no battery at all (a desktop),
// does not count.
bool IsOnBattery(const SYSTEM_POWER_STATUS& status);

// Whether this machine runs on its battery now, by GetSystemPowerStatus. A test may make
// it say so through ORV_FORCE_ON_BATTERY=1; the variable can only hold a flash back,
// never let one run.
bool MachineRunsOnBattery();
