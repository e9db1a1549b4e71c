#pragma once
#include <string>

// Folder of the running executable, without a trailing backslash.
std::wstring GetExeFolder();

// The part of a full path before its last backslash (empty when it has none).
std::wstring FolderOfPath(const std::wstring& path);
