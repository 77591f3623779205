#pragma once
// File system calls that differ between the systems below std::filesystem.

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace vel::platform {

#ifdef _WIN32
inline constexpr bool kWindowsFileSystem = true;
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr bool kWindowsFileSystem = false;
inline constexpr char kPathSeparator = '/';
#endif

// fopen on a path, whatever the system's path characters are.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

#ifdef _WIN32
// Windows names are UTF-16; the program's are code page 1250 bytes.
std::wstring WideFileName(std::string_view cp1250);
// Characters without a code page 1250 byte become '?'.
std::string NarrowFileName(std::wstring_view name);
#endif

}  // namespace vel::platform
