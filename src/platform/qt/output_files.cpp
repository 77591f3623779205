#include "platform/qt/output_files.h"

#include "common/io.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vel::platform {

namespace fs = std::filesystem;

namespace {

std::string SystemError(const std::string& what) { return what + " (" + std::strerror(errno) + ")"; }

// Flushes the file's data to the disk, so that a crash after the rename
// cannot leave a named but empty document.
void SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw IoError(path, SystemError("cannot open the print file"));
    const bool synced = ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    errno = savedErrno;
    if (!synced) throw IoError(path, SystemError("cannot write the print file"));
}

// rename() that refuses an existing target. False with errno EEXIST when the
// target exists; other failures are reported by errno as well.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that rename: a hard link fails on an existing name.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno == EEXIST) return false;
    // Nor hard links (shares of other systems): test, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool ProcessRuns(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

}  // namespace

std::string OwnTemporaryPrefix() { return "vel-doc-" + std::to_string(::getpid()) + "-"; }

std::string CreateTemporaryFile(const std::string& folder, const std::string& extension) {
    std::string path = (fs::path(folder) / (OwnTemporaryPrefix() + "XXXXXX" + extension)).string();
    const int fd = ::mkstemps(path.data(), static_cast<int>(extension.size()));
    if (fd < 0) throw IoError(path, SystemError("cannot create the print file"));
    ::close(fd);
    return path;
}

void CommitReplacing(const std::string& temporary, const std::string& target) {
    try {
        SyncFile(temporary);
        if (::rename(temporary.c_str(), target.c_str()) != 0) throw IoError(target, SystemError("cannot write the PDF file"));
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

std::string CommitToFreeName(const std::string& temporary, const std::string& target) {
    try {
        SyncFile(temporary);
        const fs::path wanted(target);
        const std::string stem = (wanted.parent_path() / wanted.stem()).string();
        const std::string extension = wanted.extension().string();
        for (int n = 1; n <= 9999; ++n) {
            const std::string name = n == 1 ? target : stem + "_" + std::to_string(n) + extension;
            if (RenameNoReplace(temporary, name)) return name;
            if (errno != EEXIST) throw IoError(name, SystemError("cannot write the PDF file"));
        }
        throw IoError(target, "no free name for the PDF file");
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
}

void RemoveAbandonedTemporaryFiles(const std::string& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("vel-doc-", 0) != 0) continue;
        char* after = nullptr;
        const long pid = std::strtol(name.c_str() + 8, &after, 10);
        if (after == name.c_str() + 8 || *after != '-' || ProcessRuns(pid)) continue;
        std::error_code removeError;
        if (it->is_regular_file(removeError)) fs::remove(it->path(), removeError);
    }
}

}  // namespace vel::platform
