#include "platform/open_files.h"

#include "common/io.h"

#include <windows.h>

namespace vel::platform {

// Opening the file for reading while refusing other writers fails with a
// sharing violation exactly when someone has it open for writing.
bool OpenForWritingElsewhere(const std::string& path) {
    HANDLE h = CreateFileW(NativePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace vel::platform
