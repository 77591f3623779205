#include "platform/file_system.h"

#include <windows.h>

#include <cerrno>
#include <cwctype>
#include <string_view>
#include <cstring>
#include <fcntl.h>
#include <io.h>

namespace vel::platform {

namespace {
constexpr UINT kCodePage = 1250;
}

std::wstring WideFileName(std::string_view cp1250) {
    if (cp1250.empty()) return {};
    const int size = static_cast<int>(cp1250.size());
    const int needed = MultiByteToWideChar(kCodePage, 0, cp1250.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0) MultiByteToWideChar(kCodePage, 0, cp1250.data(), size, wide.data(), needed);
    return wide;
}

std::string NarrowFileName(std::wstring_view name) {
    if (name.empty()) return {};
    const int size = static_cast<int>(name.size());
    const int needed = WideCharToMultiByte(kCodePage, 0, name.data(), size, nullptr, 0, "?", nullptr);
    std::string narrow(static_cast<std::size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0) WideCharToMultiByte(kCodePage, 0, name.data(), size, narrow.data(), needed, "?", nullptr);
    return narrow;
}

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) {
    RefusalReason().clear();
    const bool update = std::strchr(mode, '+') != nullptr;
    const bool exclusive = std::strchr(mode, 'x') != nullptr;
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    int crtFlags = _O_BINARY;
    const char* crtMode = update ? "r+b" : "rb";
    switch (mode[0]) {
    case 'r':
        if (update) access |= GENERIC_WRITE;
        crtFlags |= update ? _O_RDWR : _O_RDONLY;
        break;
    case 'w':
        access = update ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
        disposition = exclusive ? CREATE_NEW : OPEN_ALWAYS;
        crtFlags |= update ? _O_RDWR : _O_WRONLY;
        crtMode = update ? "w+b" : "wb";
        break;
    case 'a':
        access = update ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
        disposition = OPEN_ALWAYS;
        crtFlags |= (update ? _O_RDWR : _O_WRONLY) | _O_APPEND;
        crtMode = update ? "a+b" : "ab";
        break;
    default:
        errno = EINVAL;
        return nullptr;
    }
    // The same sharing as the C library's fopen; the reparse point itself is
    // opened, never what it points to, so that it can be refused.
    HANDLE h = INVALID_HANDLE_VALUE;
    const char* refused = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        refused = nullptr;
        h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            errno = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ENOENT
                    : error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS  ? EEXIST
                                                                                   : EACCES;
            return nullptr;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        bool replaceable = false;
        if (GetFileType(h) != FILE_TYPE_DISK) {
            refused = "a device";
        } else if (!GetFileInformationByHandle(h, &info)) {
            refused = "cannot be examined";
        } else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            refused = "a folder";
        } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            refused = "a reparse point";
            replaceable = true;
        } else if (info.nNumberOfLinks != 1) {
            refused = "a file with a second hard link";
            replaceable = true;
        }
        if (!refused) break;
        CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
        // A file written anew replaces a reparse point or a second hard link
        // in its name's place: the name goes, never what it led to. A device
        // or a folder stays, refused.
        if (mode[0] != 'w' || exclusive || !replaceable || !DeleteFileW(path.c_str())) break;
        disposition = CREATE_NEW;
    }
    if (h == INVALID_HANDLE_VALUE || (mode[0] == 'w' && !exclusive && !SetEndOfFile(h))) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (refused) RefusalReason() = refused;
        errno = EACCES;
        return nullptr;
    }
    if (mode[0] == 'a') SetFilePointer(h, 0, nullptr, FILE_END);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), crtFlags);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, crtMode);
    if (!file) _close(fd);
    return file;
}

namespace {

bool NamedByAdministrator(const std::filesystem::path& path) {
    const wchar_t* listed = _wgetenv(L"VEL_TRUSTED_DIRS");
    if (!listed) return false;
    std::wstring_view rest(listed);
    const auto lower = [](std::wstring s) {
        for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
        return s;
    };
    const std::wstring wanted = lower(path.wstring());
    while (!rest.empty()) {
        const std::size_t end = rest.find(L';');
        std::wstring entry(rest.substr(0, end));
        rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
        if (entry.empty()) continue;
        std::wstring folder = lower(std::filesystem::path(entry).lexically_normal().wstring());
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        if (wanted.compare(0, folder.size(), folder) == 0) return true;
    }
    return false;
}

}  // namespace

std::string UntrustedProgramReason(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec).lexically_normal();
    if (ec) return "cannot be found";
    const DWORD attributes = GetFileAttributesW(absolute.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "cannot be found";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "the program is a reparse point";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "the program is a folder";
    if (NamedByAdministrator(absolute)) return {};
    // No junction or link on the way: it could lead into a folder of the
    // work folder's writers.
    for (std::filesystem::path p = absolute.parent_path(); p != p.root_path() && !p.empty(); p = p.parent_path()) {
        const DWORD folder = GetFileAttributesW(p.c_str());
        if (folder == INVALID_FILE_ATTRIBUTES) return "cannot examine " + NarrowFileName(p.native());
        if (folder & FILE_ATTRIBUTE_REPARSE_POINT) return NarrowFileName(p.native()) + " is a reparse point";
    }
    return {};
}

bool ShareNewFile(std::FILE*) {
    // A new file takes the folder's inherited access on Windows already.
    return true;
}

bool MarkedHiddenOrSystem(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

}  // namespace vel::platform
