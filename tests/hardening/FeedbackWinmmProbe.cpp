// Added to a build of the feedback stand-in so that the library imports winmm.dll, as a
// vendor's library may import any system library: the planting test checks that the
// tool's way of loading it takes that dependency from the system folder.
#include <windows.h>
#include <mmsystem.h>

extern "C" int __cdecl OrvWinmmProbe()
{
    return static_cast<int>(::timeGetTime() & 1);
}
