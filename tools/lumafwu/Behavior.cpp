#include "tools/lumafwu/Behavior.h"

#include <cstdlib>
#include <sstream>

namespace {

std::string Trim(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

bool Take(const std::string& item, const char* prefix, std::string& rest)
{
    const std::string p(prefix);
    if (item.compare(0, p.size(), p) != 0)
        return false;
    rest = item.substr(p.size());
    return true;
}

void ApplyMode(Behavior& b, const std::string& mode)
{
    static const struct {
        const char* name;
        LogKind kind;
    } logs[] = {
        {"success", LogKind::Success}, {"failure", LogKind::Failure}, {"nodevice", LogKind::NoDevice},
        {"both", LogKind::Both},       {"lowercase", LogKind::LowerCase}, {"nolog", LogKind::None},
        {"emptylog", LogKind::Empty},  {"gbk", LogKind::Gbk},          {"touchlog", LogKind::Touch},
    };
    for (const auto& l : logs) {
        if (mode == l.name) {
            b.log = l.kind;
            return;
        }
    }
    std::string arg;
    if (mode == "quiet")
        b.quiet = true;
    else if (mode == "nul")
        b.nul = true;
    else if (mode == "gbksplit")
        b.gbkSplit = true;
    else if (mode == "hang")
        b.hang = true;
    else if (Take(mode, "bytes:", arg))
        b.bytes = std::atoll(arg.c_str());
    else if (Take(mode, "child:", arg))
        b.childSeconds = std::atoi(arg.c_str());
    else if (Take(mode, "exit:", arg))
        b.exitCode = std::atoi(arg.c_str());
}

void ApplyItem(Behavior& b, const std::string& raw)
{
    const std::string item = Trim(raw);
    std::string arg;
    if (Take(item, "mode=", arg)) {
        std::stringstream modes(arg);
        std::string mode;
        while (std::getline(modes, mode, ','))
            ApplyMode(b, Trim(mode));
    } else if (Take(item, "delay_ms=", arg)) {
        b.delayMs = std::atoi(arg.c_str());
    } else if (Take(item, "linger_ms=", arg)) {
        b.lingerMs = std::atoi(arg.c_str());
    } else if (Take(item, "say=", arg)) {
        b.say.push_back(arg);
    } else if (!item.empty()) {
        ApplyMode(b, item);
    }
}

}  // namespace

void ApplyKeywords(Behavior& behavior, const std::string& text)
{
    std::string item;
    for (char c : text) {
        if (c == '\n' || c == ';') {
            ApplyItem(behavior, item);
            item.clear();
        } else {
            item += c;
        }
    }
    ApplyItem(behavior, item);
}
