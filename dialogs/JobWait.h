#pragma once
#include <functional>
#include <string>

#include "win/JobThread.h"
#include "win/Wnd.h"

// How long a job may take before the progress prompt shows.
inline constexpr unsigned kJobGraceMs = 300;

// Runs `job` on `thread` and returns its answer, however long it takes: the answer
// decides what the caller does next. Meanwhile this thread takes the messages other
// threads send it (its low-level mouse hook among them), and after kJobGraceMs a
// progress prompt showing `text` over `owner` keeps the windows painted until the
// answer is there. `failed` is set (and 0 returned) when the job could not be queued.
int RunWithProgress(win::CJobThread& thread, std::function<int()> job, CWnd* owner, const std::wstring& text,
                    float scale, bool* failed = nullptr);
