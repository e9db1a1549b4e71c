#pragma once

// The tool runs only where the process environment block reports version 10.0.
struct SystemVersion
{
    unsigned long major;
    unsigned long minor;
};

// The version the system recorded in this process's environment block at creation.
SystemVersion GetPebSystemVersion();

// 1 for exactly 10.0, 0 otherwise; build number and product type play no part.
int IsSupportedVersion(unsigned long major, unsigned long minor);

int IsSupportedSystemVersion();
