#include "platform/file_system.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel::platform {

namespace {

// The mode a plain creation would give: read and write for whom the umask
// allows. Read once; nothing else in the program changes the umask.
mode_t CreationMode() {
    static const mode_t mode = [] {
        const mode_t mask = ::umask(077);
        ::umask(mask);
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

const char* RefusedKind(const struct ::stat& st) {
    if (S_ISLNK(st.st_mode)) return "a symbolic link";
    if (S_ISDIR(st.st_mode)) return "a folder";
    if (S_ISFIFO(st.st_mode)) return "a FIFO";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
    if (!S_ISREG(st.st_mode)) return "not a regular file";
    if (st.st_nlink != 1) return "a file with a second hard link";
    return nullptr;
}

}  // namespace

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    // O_NONBLOCK: a FIFO put in a file's place opens at once (and is then
    // refused) instead of waiting for a writer that never comes.
    RefusalReason().clear();
    int flags = O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
    const bool update = std::strchr(mode, '+') != nullptr;
    const bool exclusive = std::strchr(mode, 'x') != nullptr;
    bool truncate = false;
    switch (mode[0]) {
    case 'r':
        flags |= update ? O_RDWR : O_RDONLY;
        break;
    case 'w':
        flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | (exclusive ? O_EXCL : 0);
        truncate = !exclusive;  // only once the file is known to be ours to write
        break;
    case 'a':
        flags |= (update ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    int fd = -1;
    const char* refused = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        refused = nullptr;
        bool replaceable = false;
        fd = ::open(path.c_str(), flags, exclusive ? 0600 : 0666);
        struct ::stat st {};
        if (fd < 0) {
            if (errno == ELOOP) refused = "a symbolic link";
            replaceable = refused != nullptr;
        } else if (::fstat(fd, &st) != 0 || (refused = RefusedKind(st)) != nullptr) {
            if (!refused) refused = "cannot be examined";
            replaceable = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || S_ISREG(st.st_mode);
            ::close(fd);
            fd = -1;
        }
        // A file written anew replaces a link, a FIFO or a second name of
        // another file in its place, as a rename over it would: the name
        // goes, never what it led to. A device or a folder stays, refused.
        if (!refused || !truncate || !replaceable || ::unlink(path.c_str()) != 0) break;
        flags |= O_EXCL;
    }
    if (fd < 0) {
        if (refused) {
            RefusalReason() = refused;
            errno = EPERM;
        }
        return nullptr;
    }
    if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 || (truncate && ::ftruncate(fd, 0) != 0)) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return nullptr;
    }
    const char* streamMode = mode[0] == 'r' ? (update ? "r+b" : "rb")
                             : mode[0] == 'w' ? (update ? "w+b" : "wb")
                                              : (update ? "a+b" : "ab");
    std::FILE* file = ::fdopen(fd, streamMode);
    if (!file) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
    }
    return file;
}

namespace {

// Closed to others: owned by the user or root, and writable by neither group
// nor others unless sticky (others may then add names but not replace ours).
const char* OpenToOthers(const struct ::stat& st, bool folder) {
    if (st.st_uid != ::geteuid() && st.st_uid != 0) return "owned by another user";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && !(folder && (st.st_mode & S_ISVTX) != 0))
        return "writable by others";
    return nullptr;
}

bool NamedByAdministrator(const std::filesystem::path& path) {
    const char* listed = std::getenv(kTrustedDirsVariable);
    if (!listed) return false;
    std::string_view rest(listed);
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        const std::string_view entry = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (entry.empty()) continue;
        std::filesystem::path folder = std::filesystem::path(entry).lexically_normal();
        if (!folder.has_filename()) folder = folder.parent_path();  // a trailing separator
        const auto [mismatch, unused] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
        if (folder.is_absolute() && mismatch == folder.end()) return true;
    }
    return false;
}

}  // namespace

std::string UntrustedProgramReason(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec) return "cannot be found";
    struct ::stat st {};
    if (::lstat(absolute.c_str(), &st) != 0) return "cannot be found";
    if (const char* kind = RefusedKind(st)) return std::string("the program is ") + kind;
    if (NamedByAdministrator(absolute)) return {};
    if (const char* open = OpenToOthers(st, false)) return std::string("the program is ") + open;
    // Every folder on the way as named and, where links lead elsewhere, as
    // reached: either would let its writers put another program in place.
    std::vector<std::filesystem::path> folders;
    for (std::filesystem::path p = absolute.parent_path();; p = p.parent_path()) {
        folders.push_back(p);
        if (p == p.root_path() || p.empty()) break;
    }
    const std::filesystem::path real = std::filesystem::canonical(absolute.parent_path(), ec);
    if (ec) return "its folder cannot be found";
    for (std::filesystem::path p = real;; p = p.parent_path()) {
        folders.push_back(p);
        if (p == p.root_path() || p.empty()) break;
    }
    for (const std::filesystem::path& folder : folders) {
        if (::stat(folder.c_str(), &st) != 0) return "cannot examine " + folder.string();
        if (const char* open = OpenToOthers(st, true)) return folder.string() + " is " + open;
    }
    return {};
}

bool ShareNewFile(std::FILE* file) { return ::fchmod(::fileno(file), CreationMode()) == 0; }

// Hidden here is only a name beginning with '.', which the callers test.
bool MarkedHiddenOrSystem(const std::filesystem::path&) { return false; }

}  // namespace vel::platform
