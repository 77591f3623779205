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
#include <iostream>
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
// Opens a C stream on a name as fopen does, but never through a symbolic
// link and only on a regular file (platform::OpenFile); null on failure. A
// file refused for what it is counts as absent, and "Vel.err" says why.
std::FILE* OpenFile(std::string_view name, const char* mode);

// A C++ stream on a file opened by OpenFile, for the files read or written
// line by line. A failed open or close sets the fail bit.
class FileStream : public std::iostream {
public:
    FileStream();
    ~FileStream() override;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    // `bufferBytes` sizes the stream's buffer (0: the system's default).
    bool open(std::string_view name, const char* mode, std::size_t bufferBytes = 0);
    bool is_open() const { return buf_.file != nullptr; }
    // Flushes and closes; a file made by "wbx" first gets the usual access.
    void close();

private:
    struct Buf : std::streambuf {
        std::FILE* file = nullptr;
        bool created = false;
        char in[1 << 16];
        void emptyInput() { setg(in, in, in); }
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int_type underflow() override;
        int sync() override;
    } buf_;
};

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
// system files, no links, FIFOs or devices, no file with a second hard link).
std::vector<std::string> FindFiles(std::string_view pattern);

bool PatternExists(std::string_view pattern);
inline bool PatternMissing(std::string_view pattern) { return !PatternExists(pattern); }
std::string FirstMatchName(std::string_view pattern);  // empty when none
std::int32_t MatchSize(std::string_view pattern);      // -1 when none

// A whole file is written under its name with this added and then renamed;
// one left by a crash is removed by the next start.
inline constexpr const char* kWritingSuffix = ".~{-}";

// The most a file read whole may hold: a larger one is not read (a sparse
// file of gigabytes or a job made to exhaust the memory). Jobs and requests of
// the sibling programs, settings and markers are small.
inline constexpr std::size_t kJobFileLimit = 1 << 20;
// The program's own files and the archives it reads.
inline constexpr std::size_t kWholeFileLimit = 64u << 20;
// Whether a file is there but larger than `limit`: the message for a job
// that is kept rather than read.
bool FileLargerThan(std::string_view name, std::size_t limit);
// The status text for such a file: "Za duży plik " + the name.
std::string TooLargeMessage(std::string_view name);

// A temporary name beside `name` that no other process can guess, ending in
// kWritingSuffix; made with OpenFile's "wbx" it can be no one else's file.
std::string WritingNameFor(std::string_view name);

// Silent operations.
// Nothing when the file cannot be read or is larger than `limit`.
std::optional<std::string> TryReadFile(std::string_view name, std::size_t limit = kWholeFileLimit);
// The whole file, replacing an earlier one only once it is completely written.
bool TryWriteFile(std::string_view name, std::string_view bytes);
bool DeleteFileQuietly(std::string_view name);
bool RenameFileQuietly(std::string_view from, std::string_view to);
// Renames over an existing file (which goes); false when that fails.
bool MoveOverQuietly(std::string_view from, std::string_view to);
bool FileExists(std::string_view name);  // an ordinary file, not a symbolic link

// Raising operations.
std::string ReadFile(std::string_view name, std::size_t limit = kWholeFileLimit);
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
