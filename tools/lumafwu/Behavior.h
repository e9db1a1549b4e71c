#pragma once
#include <string>
#include <vector>

// What the simulator does on one run; see README.md for the keywords.
enum class LogKind { Success, Failure, NoDevice, Both, LowerCase, None, Empty, Gbk, Touch };

struct Behavior {
    LogKind log = LogKind::Success;
    bool quiet = false;
    int delayMs = 3000;
    int lingerMs = 0;  // stays this long after its output, whatever the mode
    std::vector<std::string> say;
    long long bytes = -1;
    bool nul = false;
    bool gbkSplit = false;
    int childSeconds = -1;
    bool hang = false;
    int exitCode = 0;
};

// Applies keywords, one per line or separated by ';'. Unknown keywords are ignored.
void ApplyKeywords(Behavior& behavior, const std::string& text);
