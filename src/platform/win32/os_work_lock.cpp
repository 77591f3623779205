#include "platform/work_lock.h"

#include "common/io.h"

#include <windows.h>

namespace vel::platform {

namespace {

// The lock file held open for writing with a share mode that lets others
// read but refuses any second writer, so a second instance cannot open it.
class Win32WorkLock final : public WorkLock {
public:
    ~Win32WorkLock() override { release(); }

    bool acquire(const std::string& name) override {
        release();
        HANDLE h = CreateFileW(NativePath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        // Never a reparse point, a device or a file with a second link in the
        // lock's place.
        BY_HANDLE_FILE_INFORMATION info{};
        if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
            (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
            info.nNumberOfLinks != 1) {
            CloseHandle(h);
            return false;
        }
        // Emptied only once held, so a refused second instance never touches it.
        if (!SetEndOfFile(h)) {
            CloseHandle(h);
            return false;
        }
        handle_ = h;
        return true;
    }

    bool release() override {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        const BOOL ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }

    bool held() const override { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<WorkLock> MakeSystemWorkLock() { return std::make_unique<Win32WorkLock>(); }

}  // namespace vel::platform
