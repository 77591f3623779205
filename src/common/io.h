#pragma once
// File access for the whole program. Two styles, and every call site is of one:
//  - raising: throws IoError on failure; the boundary of each event handler
//    catches it, reports it and the program goes on;
//  - silent: returns its outcome (a flag, an optional or -1) for the caller to
//    test at once.
// Names may use '\' as the separator, as the sibling programs write them;
// NativePath() is the one place that turns them into file system paths.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

class IoError : public std::runtime_error {
public:
    IoError(std::string path, const std::string& what)
        : std::runtime_error(what + ": " + path), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// On Windows the code page 1250 bytes become the file system's UTF-16 and
// drive letters and "\\server\share\" names stay; elsewhere '\' becomes '/'
// and a drive letter is dropped, so "C:\JOBS" names "/JOBS".
std::filesystem::path NativePath(std::string_view name);
// True for a name that does not depend on the current folder: one with a
// drive letter and a separator, a "\\server\share\" name, or a root.
bool IsFullName(std::string_view name);
// The other way: a file system path as the program's code page 1250 name
// (characters without a code page 1250 byte become '?').
std::string NameFromPath(const std::filesystem::path& path);
// Opens a C stream on a name as fopen does; null on failure.
std::FILE* OpenFile(std::string_view name, const char* mode);

// Windows wildcard match of one name: '?' one character, '*' any run, other
// characters literal, letters compared without case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

struct DirEntry {
    std::string name;  // bare name, no folder
    bool isDir = false;
    bool hidden = false;  // a name starting with '.', or marked hidden or system
    std::int64_t size = 0;
};

// Every entry of any kind that matches a pattern such as "C:\Jobs\##-???.*"
// (the folder part is taken literally). Unordered. Silent: an unreadable
// folder gives no entries.
std::vector<DirEntry> FindEntries(std::string_view pattern);
// Bare names of the ordinary files that match (no folders, no hidden or
// system files).
std::vector<std::string> FindFiles(std::string_view pattern);

bool PatternExists(std::string_view pattern);
inline bool PatternMissing(std::string_view pattern) { return !PatternExists(pattern); }
std::string FirstMatchName(std::string_view pattern);  // empty when none
std::int32_t MatchSize(std::string_view pattern);      // -1 when none

// A whole file is written under its name with this added and then renamed;
// one left by a crash is removed by the next start.
inline constexpr const char* kWritingSuffix = ".~{-}";

// Silent operations.
std::optional<std::string> TryReadFile(std::string_view name);
// The whole file, replacing an earlier one only once it is completely written.
bool TryWriteFile(std::string_view name, std::string_view bytes);
bool DeleteFileQuietly(std::string_view name);
bool RenameFileQuietly(std::string_view from, std::string_view to);
// Renames over an existing file (which goes); false when that fails.
bool MoveOverQuietly(std::string_view from, std::string_view to);
bool FileExists(std::string_view name);  // an ordinary file

// Raising operations.
std::string ReadFile(std::string_view name);
void WriteFile(std::string_view name, std::string_view bytes);
void AppendFile(std::string_view name, std::string_view bytes);
void DeleteFile(std::string_view name);

// Keeps a backup of the target (name with '~' before its last three
// characters) and copies the source over it. A missing target is no error.
// The copy is made beside the target under a temporary name and takes the
// target's name only when complete; when the source cannot be read or the
// copy cannot be written or put in place, it raises and the target is as it
// was.
void ReplaceFile(std::string_view source, std::string_view target);
std::string BackupName(std::string_view target);
// ReplaceFile, then the source is deleted (a failure there is ignored). When
// ReplaceFile raises, the source stays.
void MoveReplaceFile(std::string_view source, std::string_view target);

// The current directory, remembered and made current again around printer
// document calls that may change it. RestoreDir raises.
void RememberDir();
void RestoreDir();

}  // namespace vel
