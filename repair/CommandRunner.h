#pragma once
#include <windows.h>

#include <functional>
#include <string>

// The command line is built in a buffer of this many wide characters; a longer one is
// refused rather than run cut short.
constexpr size_t kCommandLineChars = 2048;
constexpr DWORD kReadChunkBytes = 4095;
constexpr DWORD kChunkPauseMs = 500;

// 1 when the process runs under WOW64, otherwise 0 (also when the system has no
// IsWow64Process).
int IsWow64();

// Runs command through the system's cmd.exe, hidden, appending everything it writes to
// standard output and standard error to output, and waits (without time-out) until
// cmd.exe has ended. 1 once it has run, whatever its exit code; 0 when it could not be
// started, with nothing appended.
int RunCommand(std::wstring command, std::wstring& output);

// As RunCommand, and hands every chunk read from the pipe, before decoding, to observer.
using ChunkObserver = std::function<void(const char* bytes, DWORD count)>;
int RunCommandObserved(std::wstring command, std::wstring& output, const ChunkObserver& observer);

// As RunCommand, but only the chunks read until keepBytes bytes have come (the last of
// them may go past it) are kept in output and followed by the pause. The rest is still
// read to the end, so that the command never blocks on a full pipe, and is handed to
// overflow instead, decoded piece by piece, without the pause: a command that prints
// without end costs neither unbounded memory nor minutes of pauses. One decoder reads
// both parts, so a character split between them comes out whole, at the start of the
// rest. A non-empty folder is the command processor's current folder from its start (the
// tool's own otherwise); when it cannot be, nothing is started and the result is 0.
using TextObserver = std::function<void(const std::wstring& text)>;
int RunCommandLimited(std::wstring command, std::wstring& output, size_t keepBytes, const TextObserver& overflow,
                      const std::wstring& folder = std::wstring());

// "cmd /D /V:OFF /C " followed by command (/D: no AutoRun commands from the registry;
// /V:OFF: no delayed expansion of !...!, whatever the registry says); empty when that,
// with its terminating zero, does not fit in kCommandLineChars.
std::wstring BuildCommandLine(const std::wstring& command);

// Decodes a byte stream that arrives in chunks: a character whose bytes are split
// between two chunks is held back until its last byte arrives, and zero bytes are
// dropped instead of ending the text.
class CChunkDecoder {
public:
    explicit CChunkDecoder(UINT codePage = CP_ACP);
    void Feed(const char* bytes, size_t count, std::wstring& out);
    // Decodes whatever is still held back (an incomplete character at the very end).
    void Finish(std::wstring& out);

private:
    size_t CompleteLength() const;

    UINT m_codePage;
    bool m_bDoubleByte = false;
    bool m_bUtf8 = false;
    std::string m_pending;
};
