#include "win/SessionEnd.h"

#include <atomic>

namespace win {

namespace {

std::atomic<int> g_holds{0};

}  // namespace

CSessionEndHold::CSessionEndHold() { ++g_holds; }

CSessionEndHold::~CSessionEndHold() { --g_holds; }

bool IsSessionEndHeld() { return g_holds.load() > 0; }

}  // namespace win
