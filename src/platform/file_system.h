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

// Marked hidden or system by the file system's own attributes, where it has
// them (Windows); false where it has none or the entry cannot be asked.
bool MarkedHiddenOrSystem(const std::filesystem::path& path);

// The calls below the whole files a printer writes (platform/output_files.h).
// The running process's id, and whether a process of an id runs.
long CurrentProcessId();
bool ProcessRuns(long pid);
// Creating or renaming onto a name that must be free.
enum class FreeName { Taken, Exists, Failed };
// A new empty file, never an existing one.
FreeName CreateNewFile(const std::filesystem::path& path);
// A rename that never replaces a file.
FreeName RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// A rename over an existing file. False on failure.
bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);
// Flushes a written file's data to the disk. False on failure.
bool SyncFile(const std::filesystem::path& path);
// What the system said of the last of those calls that failed.
std::string LastSystemError();

#ifdef _WIN32
// Windows names are UTF-16; the program's are code page 1250 bytes.
std::wstring WideFileName(std::string_view cp1250);
// Characters without a code page 1250 byte become '?'.
std::string NarrowFileName(std::wstring_view name);
#endif

}  // namespace vel::platform
