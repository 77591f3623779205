#include "platform/file_system.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel::platform {

long CurrentProcessId() { return static_cast<long>(::getpid()); }

bool ProcessRuns(long pid) { return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM); }

FreeName CreateNewFile(const std::filesystem::path& path) {
    // Private until it is complete.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? FreeName::Exists : FreeName::Failed;
    return ::close(fd) == 0 ? FreeName::Taken : FreeName::Failed;
}

FreeName RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    const auto outcome = [] { return errno == EEXIST ? FreeName::Exists : FreeName::Failed; };
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return FreeName::Taken;
    if (errno != EINVAL && errno != ENOSYS) return outcome();
    // A file system without that rename: a hard link fails on an existing name.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return FreeName::Taken;
    }
    if (errno == EEXIST) return FreeName::Exists;
    // Nor hard links (shares of other systems): test, then rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return FreeName::Exists;
    return ::rename(from.c_str(), to.c_str()) == 0 ? FreeName::Taken : outcome();
}

bool RenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool SyncFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    errno = savedErrno;
    return synced;
}

std::string LastSystemError() { return std::strerror(errno); }

}  // namespace vel::platform
