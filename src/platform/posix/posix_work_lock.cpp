#include "platform/work_lock.h"

#include "common/io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace vel::platform {

namespace {

class PosixWorkLock final : public WorkLock {
public:
    ~PosixWorkLock() override { release(); }

    bool acquire(const std::string& name) override {
        release();
        int fd = ::open(NativePath(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return false;
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
