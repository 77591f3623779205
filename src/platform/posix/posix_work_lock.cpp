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
        // folder's writers may put anything in the lock's place.
        const std::string path = NativePath(name).string();
        constexpr int kFlags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
        int fd = ::open(path.c_str(), kFlags, 0644);
        // A link is never an instance's lock: it goes, its target stays.
        if (fd < 0 && errno == ELOOP && ::unlink(path.c_str()) == 0) fd = ::open(path.c_str(), kFlags | O_EXCL, 0644);
        if (fd < 0) return false;
        struct ::stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
            ::close(fd);
            return false;
        }
        // Take the lock before truncating, so a refused second instance never
        // touches the holder's file.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
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
    int fd_ = -1;
};

}  // namespace

std::unique_ptr<WorkLock> MakeSystemWorkLock() { return std::make_unique<PosixWorkLock>(); }

}  // namespace vel::platform
