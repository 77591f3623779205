#include "platform/work_lock.h"

#include "common/io.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vel::platform {

namespace {

class PosixWorkLock final : public WorkLock {
public:
    ~PosixWorkLock() override { release(); }

    bool acquire(const std::string& name) override {
        release();
        // Never through a link, and only a regular file of its own: the
        // folder's writers may put anything in the lock's place. What is not
        // an instance's lock (a link, a FIFO, a device, a second hard link to
        // a file no instance holds) loses its name to a new lock file; what
        // it led to is never opened for more than the lock, nor changed.
        const std::string path = NativePath(name).string();
        struct ::stat st {};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) {
            if (::unlink(path.c_str()) != 0) return false;
        }
        int fd = ::open(path.c_str(), kFlags, 0644);
        // Planted between the look and the open: the open fails, never waits.
        if (fd < 0 && (errno == ELOOP || errno == ENXIO) && ::unlink(path.c_str()) == 0) fd = create(path);
        if (fd < 0) return false;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return false;
        }
        // Take the lock before truncating, so a refused second instance never
        // touches the holder's file.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        if (st.st_nlink != 1) {
            // Nobody holds it, so it is no running instance's lock: a name
            // of its own takes the place of the second link.
            ::close(fd);
            if (::unlink(path.c_str()) != 0 || (fd = create(path)) < 0) return false;
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                ::close(fd);
                return false;
            }
        }
        if (::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
        fd_ = fd;
        return true;
    }

    bool release() override {
        if (fd_ < 0) return true;
        int rc = ::close(fd_);  // closing drops the lock
        fd_ = -1;
        return rc == 0;
    }

    bool held() const override { return fd_ >= 0; }

private:
    static constexpr int kFlags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    static int create(const std::string& path) { return ::open(path.c_str(), kFlags | O_EXCL, 0644); }

    int fd_ = -1;
};

}  // namespace

std::unique_ptr<WorkLock> MakeSystemWorkLock() { return std::make_unique<PosixWorkLock>(); }

}  // namespace vel::platform
