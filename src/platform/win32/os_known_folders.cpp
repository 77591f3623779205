#include "platform/file_system.h"

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace vel::platform {

std::filesystem::path UserDownloadsFolder() {
    PWSTR folder = nullptr;
    std::filesystem::path path;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, KF_FLAG_DEFAULT, nullptr, &folder))) path = folder;
    CoTaskMemFree(folder);  // also when the call failed
    return path;
}

}  // namespace vel::platform
