#pragma once
#include <functional>

#include "win/JobThread.h"

// What the feedback dialog asks of the feedback library; both run on `thread`.
struct FeedbackCalls {
    win::CJobThread* thread = nullptr;
    std::function<int(int code)> answer;  // reports an answer code, then shows the question page
    std::function<int()> moreSolutions;   // opens the knowledge base
};
