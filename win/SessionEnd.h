#pragma once

namespace win {

// While at least one hold is alive, every window of this layer answers
// WM_QUERYENDSESSION with FALSE: the user's session must not end under work that
// cannot be cut short. Holds may be taken and dropped on any thread.
class CSessionEndHold {
public:
    CSessionEndHold();
    ~CSessionEndHold();
    CSessionEndHold(const CSessionEndHold&) = delete;
    CSessionEndHold& operator=(const CSessionEndHold&) = delete;
};

bool IsSessionEndHeld();

}  // namespace win
