// A firmware tool that talks too much, run as LUMAFWU.exe: it writes bytes= bytes of
// output to standard output and standard error in turn, in writes of varying size, then
// the line final= on standard output, and a LUMAFWUlog.txt holding log=, all as read
// from noisy.cfg beside it (key=value lines). Leaves LUMAFWU.ran (cwd=) as the simulator does.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

std::string Folder()
{
    char path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string full(path, n);
    return full.substr(0, full.rfind('\\'));
}

std::string Setting(const std::string& config, const std::string& key)
{
    const size_t at = config.find(key + "=");
    if (at == std::string::npos)
        return std::string();
    const size_t start = at + key.size() + 1;
    const size_t end = config.find_first_of("\r\n", start);
    return config.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string ReadAll(const std::string& path)
{
    std::string bytes;
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char block[4096];
    DWORD n = 0;
    while (::ReadFile(file, block, sizeof block, &n, nullptr) && n > 0)
        bytes.append(block, n);
    ::CloseHandle(file);
    return bytes;
}

void WriteAll(HANDLE to, const char* bytes, size_t count)
{
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(to, bytes, static_cast<DWORD>(count), &written, nullptr) || written == 0)
            return;
        bytes += written;
        count -= written;
    }
}

void WriteFileText(const std::string& path, const std::string& text)
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    WriteAll(file, text.data(), text.size());
    ::CloseHandle(file);
}

}  // namespace

int main()
{
    const std::string folder = Folder();
    const std::string config = ReadAll(folder + "\\noisy.cfg");
    char cwd[MAX_PATH] = {};
    ::GetCurrentDirectoryA(MAX_PATH, cwd);
    WriteFileText(folder + "\\LUMAFWU.ran", std::string("cwd=") + cwd + "\r\n");

    const size_t total = std::strtoul(Setting(config, "bytes").c_str(), nullptr, 10);
    HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    std::string line;
    size_t sent = 0;
    for (unsigned n = 0; sent < total; ++n) {
        const size_t size = std::min<size_t>(total - sent, 97 + (n * 389) % 3001);
        line.assign(size, static_cast<char>(n % 2 ? 'e' : 'o'));
        line.back() = '\n';
        WriteAll(n % 2 ? err : out, line.data(), line.size());
        sent += size;
    }
    const std::string final = Setting(config, "final");
    if (!final.empty())
        WriteAll(out, (final + "\r\n").data(), final.size() + 2);
    WriteFileText(std::string(cwd) + "\\LUMAFWUlog.txt", Setting(config, "log") + "\r\n");
    return 0;
}
