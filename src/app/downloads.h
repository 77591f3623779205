#pragma once
// Fetching files without network code of our own: the default browser is
// asked to open the file's address, and four ticks later the saved file is
// looked for (first in the folder where the last download was found, then
// over the user's folders and volumes), moved into place and handed on.
// The timer drives it through the download countdown: a request sets it to
// 45, the start step runs on the tick that finds 45, the completion step on
// the tick that brings it to 40.

#include "app/web_addresses.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {
class Program;
}

namespace vel::app {

enum DownloadKind : int {
    kProgramUpdate = 0,
    kWox = 1,
    kPreviousYearRates = 2,
    kCurrentYearRates = 3,
    kWzkl = 4,
};

// What one kind fetches. `local` lies in the current directory.
struct DownloadTarget {
    std::string local;
    std::string base;
    std::string remote;
    std::string year;  // rate archives: the year of the archive
};
// Nothing for an unknown kind.
std::optional<DownloadTarget> TargetOfKind(Program& program, int kind);

// Asks for a file through the default browser; the tick does the rest. A new
// request during a running download restarts it with the new kind.
void RequestDownload(Program& program, int kind);
// The tick's start step (countdown 45) and completion step (countdown 40).
void DownloadStart(Program& program);
void DownloadComplete(Program& program);

// Shows "Uruchomiłem  " + name, then opens the name (a file or an address)
// with its associated program.
void StartFile(Program& program, const std::string& name);

// What follows a download that was moved into place, by the download kind:
// a new program version is started and this one closes; a companion program
// is started; a rate archive is converted (and for the current year the
// charts window shows).
void AfterDownload(Program& program);

// The folders the search for a saved download walks, in order, and the
// folders it looks into but never descends from. Each ends in a separator.
// A program (an update, Wox.exe, Wzkl.exe) is looked for only in the user's
// own download folder, and not below it, whatever "Dwn.{-}" names: the work
// folder's writers can write that file, and could put a program of theirs
// anywhere the walk goes.
struct SearchPlaces {
    std::vector<std::string> roots;
    std::vector<std::string> excluded;
    std::string downloads;  // the user's own download folder; empty: none
};
// On Linux: the user's download folder (XDG), the home folder, /media and
// /mnt (those that exist); /proc, /sys, /dev, /usr, /var, /run, /boot,
// /snap excluded. On Windows the drives C: to Z:, with the system's folders
// (Windows, Program Files, ProgramData) excluded. The download folder is the
// system's (UserDownloadFolder).
SearchPlaces DefaultSearchPlaces();
// Replaces the places (tests); nullopt goes back to the default ones.
void SetSearchPlaces(std::optional<SearchPlaces> places);

// The user's download folder as the system names it (on Linux the desktop:
// $XDG_DOWNLOAD_DIR, else the XDG_DOWNLOAD_DIR line of user-dirs.dirs, else
// ~/Downloads; on Windows the Downloads known folder), ending in a
// separator. Empty when the system cannot tell (no home folder).
std::string UserDownloadFolder();

// The name with "*" before its first ".", so that a copy the browser saved
// under a changed name ("vel (1).ex") matches too: "vel*.ex".
std::string SearchPatternOf(std::string_view remoteName);

// A file's last-write time as the packed date and time of two-second
// resolution (local time), which the steps compare as integers; 0 when the
// file cannot be found.
std::int64_t PackedFileTime(std::string_view name);

}  // namespace vel::app
