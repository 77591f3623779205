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

// fopen on a path, whatever the system's path characters are, for the
// program's own files in a folder that others may write: never through a
// symbolic link (on Windows any reparse point), and only a regular file with
// a single link; a FIFO, a device or a folder in the name's place opens
// without waiting and is refused. A refused file counts as absent (null), and
// RefusalReason() says what was found. Modes: "rb", "r+b", "wb", "ab" and
// "wbx", which creates a new file that only its owner may read, failing on
// an existing name. "wb" empties a file only once it is known to be one, and
// puts a new file in the place of a link, a FIFO or a second hard link (the
// name goes, not what it led to); a device or a folder is refused.
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);
// What the last OpenFile of this thread refused ("a symbolic link", "a FIFO"...);
// empty when it refused nothing.
inline std::string& RefusalReason() {
    static thread_local std::string reason;
    return reason;
}
// Gives a file made by "wbx" the access a plain creation would have given, so
// that the finished file is readable by whom it always was. False on failure.
bool ShareNewFile(std::FILE* file);

// Why a program at `path` must not be started; empty when it may. It must be
// a regular file, not a link, and neither it nor any folder above it may be
// open to writers other than the user and the administrator: on Linux owned
// by the user or root without group or other write permission (a sticky
// folder such as /tmp counts as closed), on Windows granting Everyone,
// Authenticated Users, Users and Guests no right to change them in their
// access lists, with no reparse point on the way. For a program in or below a
// folder named in VEL_TRUSTED_DIRS (';'-separated full names) the folders are
// taken on an administrator's word, for shares where the system cannot tell
// (on Windows the only way to start one from a share); the program itself
// must still be a regular file.
std::string UntrustedProgramReason(const std::filesystem::path& path);
inline constexpr const char* kTrustedDirsVariable = "VEL_TRUSTED_DIRS";

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

// The user's own download folder, where the browser saves what the user
// fetches: on Linux as `xdg-user-dir DOWNLOAD` names it ($XDG_DOWNLOAD_DIR,
// else the XDG_DOWNLOAD_DIR line of user-dirs.dirs, else ~/Downloads), on
// Windows the Downloads known folder. Empty when the system cannot tell.
std::filesystem::path UserDownloadsFolder();

#ifdef _WIN32
// Windows names are UTF-16; the program's are code page 1250 bytes.
std::wstring WideFileName(std::string_view cp1250);
// Characters without a code page 1250 byte become '?'.
std::string NarrowFileName(std::wstring_view name);
#endif

}  // namespace vel::platform
