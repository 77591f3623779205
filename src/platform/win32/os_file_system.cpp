#include "platform/file_system.h"

#include <windows.h>

#include <aclapi.h>

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

// The full name as the system resolves it. std::filesystem here takes
// "\\server\share" for a folder of the current drive, and would examine
// another file than the one the system starts.
std::wstring FullName(const std::wstring& name) {
    const DWORD needed = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return {};
    std::wstring full(needed, L'\0');
    const DWORD written = GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
    if (written == 0 || written >= needed) return {};
    full.resize(written);
    return full;
}

bool NamedByAdministrator(const std::wstring& path) {
    const wchar_t* listed = _wgetenv(L"VEL_TRUSTED_DIRS");
    if (!listed) return false;
    std::wstring_view rest(listed);
    const auto lower = [](std::wstring s) {
        for (wchar_t& c : s) c = static_cast<wchar_t>(towlower(c));
        return s;
    };
    const std::wstring wanted = lower(path);
    while (!rest.empty()) {
        const std::size_t end = rest.find(L';');
        std::wstring entry(rest.substr(0, end));
        rest = end == std::wstring_view::npos ? std::wstring_view() : rest.substr(end + 1);
        if (entry.empty()) continue;
        std::wstring folder = lower(FullName(entry));
        if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
        if (wanted.compare(0, folder.size(), folder) == 0) return true;
    }
    return false;
}

// The groups that hold accounts other than the user and the administrator.
struct OthersGroup {
    WELL_KNOWN_SID_TYPE type;
    const char* name;
};
constexpr OthersGroup kOthers[] = {
    {WinWorldSid, "Everyone"},
    {WinAuthenticatedUserSid, "Authenticated Users"},
    {WinBuiltinUsersSid, "Users"},
    {WinBuiltinGuestsSid, "Guests"},
};

const char* OthersGroupName(PSID sid) {
    for (const OthersGroup& group : kOthers) {
        BYTE buffer[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof buffer;
        if (CreateWellKnownSid(group.type, nullptr, buffer, &size) && EqualSid(sid, buffer)) return group.name;
    }
    return nullptr;
}

// The rights that let their holder put another program in the place of one
// on the path. On a folder that is adding a file (a program or a DLL beside
// it), deleting an entry, or deleting, renaming or re-permitting the folder
// itself. Creating a subfolder does not count: no new folder can take an
// existing name, and every Windows grants it to Authenticated Users on C:\.
constexpr DWORD kProgramWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;
constexpr DWORD kFolderWriteRights =
    FILE_ADD_FILE | FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | DELETE | GENERIC_WRITE | GENERIC_ALL;

// Empty when no group of others may write `p`; else why. Denying entries are
// not weighed against granting ones: a grant to any of the groups is enough
// to refuse, as a folder closed that way is one nobody should rely on.
std::string OpenToOthers(const std::filesystem::path& p, bool folder) {
    const std::string name = folder ? NarrowFileName(p.native()) : std::string("the program");
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD status =
        GetNamedSecurityInfoW(p.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor);
    if (status != ERROR_SUCCESS) return "cannot tell who may write " + NarrowFileName(p.native());
    std::string reason;
    if (const char* group = owner ? OthersGroupName(owner) : nullptr) {
        reason = name + " is owned by " + group;
    } else if (!dacl) {
        reason = name + " is writable by Everyone";  // no list at all grants everything
    } else {
        const DWORD rights = folder ? kFolderWriteRights : kProgramWriteRights;
        for (DWORD i = 0; i < dacl->AceCount && reason.empty(); ++i) {
            void* entry = nullptr;
            if (!GetAce(dacl, i, &entry)) continue;
            const auto* header = static_cast<const ACE_HEADER*>(entry);
            // An entry only for what is created below does not apply here.
            if (header->AceFlags & INHERIT_ONLY_ACE) continue;
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
                continue;
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
            if ((allowed->Mask & rights) == 0) continue;
            if (const char* group = OthersGroupName(&allowed->SidStart)) reason = name + " is writable by " + group;
        }
    }
    LocalFree(descriptor);
    return reason;
}

// A share's folders answer for their writers on the server, which this
// machine cannot ask. Any name in the "\\" forms counts as one.
bool OnNetworkShare(const std::wstring& full) {
    if (full.size() >= 2 && full[0] == L'\\' && full[1] == L'\\') return true;
    return full.size() >= 3 && full[1] == L':' && GetDriveTypeW(full.substr(0, 3).c_str()) == DRIVE_REMOTE;
}

}  // namespace

std::string UntrustedProgramReason(const std::filesystem::path& path) {
    const std::wstring full = FullName(path.wstring());
    if (full.empty()) return "cannot be found";
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return "cannot be found";
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return "the program is a reparse point";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "the program is a folder";
    if (NamedByAdministrator(full)) return {};
    if (OnNetworkShare(full))
        return NarrowFileName(full) + " lies on a network share, not named in " + kTrustedDirsVariable;
    const std::filesystem::path absolute(full);
    if (std::string open = OpenToOthers(absolute, false); !open.empty()) return open;
    // No junction or link on the way either: it could lead into a folder of
    // the work folder's writers. A drive's root is where the system put the
    // drive (Wine marks each one a reparse point), so only its access counts.
    for (std::filesystem::path p = absolute.parent_path();; p = p.parent_path()) {
        const bool root = p == p.root_path() || !p.has_relative_path();
        const DWORD folder = GetFileAttributesW(p.c_str());
        if (folder == INVALID_FILE_ATTRIBUTES) return "cannot examine " + NarrowFileName(p.native());
        if (!root && (folder & FILE_ATTRIBUTE_REPARSE_POINT))
            return NarrowFileName(p.native()) + " is a reparse point";
        if (std::string open = OpenToOthers(p, true); !open.empty()) return open;
        if (root) break;
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
