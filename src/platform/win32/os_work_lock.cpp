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
        const std::wstring path = NativePath(name).wstring();
        HANDLE h = open(path, OPEN_ALWAYS);
        if (h == INVALID_HANDLE_VALUE) return false;
        // Never a reparse point, a device or a file with a second link in the
        // lock's place. Opened for writing, it is no running instance's lock
        // (that one refuses a second writer): a link loses its name to a new
        // lock file, and what it led to is not changed.
        if (!ownFile(h)) {
            const bool disk = GetFileType(h) == FILE_TYPE_DISK;
            CloseHandle(h);
            if (!disk || !DeleteFileW(path.c_str())) return false;
            h = open(path, CREATE_NEW);
            if (h == INVALID_HANDLE_VALUE) return false;
            if (!ownFile(h)) {
                CloseHandle(h);
                return false;
            }
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
    static HANDLE open(const std::wstring& path, DWORD disposition) {
        return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    }
    static bool ownFile(HANDLE h) {
        BY_HANDLE_FILE_INFORMATION info{};
        return GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
               !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
               info.nNumberOfLinks == 1;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<WorkLock> MakeSystemWorkLock() { return std::make_unique<Win32WorkLock>(); }

}  // namespace vel::platform
