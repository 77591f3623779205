// Who may change a program before it is started, as Windows keeps it: the
// security descriptors of the program and of every folder above it. The work
// folder's writers must find no place on the way to put a program of theirs.

#include "platform/file_system.h"
#include "support/process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vel::test {
namespace {

namespace fs = std::filesystem;
using platform::UntrustedProgramReason;

// The system and the owner hold everything; the group named last gets what
// `rights` says (0x1200a9 reads and runs, 0x1301ff also writes and deletes).
std::wstring Access(const wchar_t* group, const wchar_t* rights) {
    return std::wstring(L"D:P(A;;FA;;;SY)(A;;FA;;;OW)(A;;0x1200a9;;;WD)(A;;") + rights + L";;;" + group + L")";
}
const std::wstring kClosed = Access(L"WD", L"0x1200a9");

bool SetAccess(const fs::path& path, const std::wstring& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    std::wstring name = path.wstring();
    const DWORD status =
        SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              dacl, nullptr);
    LocalFree(descriptor);
    return status == ERROR_SUCCESS;
}

// Whether the system gives back a grant of `rights` to `group` on `path`:
// Wine keeps a DACL as the file's mode bits, and only the owner's and
// Everyone's part comes back.
bool KeepsGrant(const fs::path& path, WELL_KNOWN_SID_TYPE group, DWORD rights) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    bool kept = false;
    if (dacl && CreateWellKnownSid(group, nullptr, sid, &size)) {
        for (DWORD i = 0; i < dacl->AceCount && !kept; ++i) {
            void* entry = nullptr;
            if (!GetAce(dacl, i, &entry) || static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
                continue;
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
            kept = EqualSid(&allowed->SidStart, sid) && (allowed->Mask & rights) == rights;
        }
    }
    LocalFree(descriptor);
    return kept;
}

// outer\inner\WQA.exe in a fresh folder, everything closed to others.
struct Installed {
    ScopedTempDir dir;
    fs::path outer = dir.path() / "outer";
    fs::path inner = outer / "inner";
    fs::path program = inner / "WQA.exe";
    Installed() {
        fs::create_directories(inner);
        WriteAll(program, "MZ");
        for (const fs::path& p : {outer, inner, program}) EXPECT_TRUE(SetAccess(p, kClosed)) << p;
    }
};

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(Win32TrustedProgram, AProgramEveryoneMayReplaceIsRefused) {
    struct Case {
        const char* name;
        const char* open;  // "program", "inner", "outer" or none
        bool named;        // inner is in VEL_TRUSTED_DIRS
        const char* said;  // how the reason ends; empty: may start
    } const cases[] = {
        {"closed all the way", nullptr, false, ""},
        {"Everyone may change the program", "program", false, "the program is writable by Everyone"},
        {"Everyone may write its folder", "inner", false, "\\inner is writable by Everyone"},
        {"Everyone may write a folder above", "outer", false, "\\outer is writable by Everyone"},
        {"an open folder the administrator named", "inner", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Installed at;
        if (c.open) {
            const std::string open = c.open;
            const fs::path& p = open == "program" ? at.program : open == "inner" ? at.inner : at.outer;
            ASSERT_TRUE(SetAccess(p, Access(L"WD", L"0x1301ff")));
        }
        const ScopedEnv trusted(platform::kTrustedDirsVariable,
                                c.named ? std::optional<std::string>(at.inner.string()) : std::nullopt);
        const std::string reason = UntrustedProgramReason(at.program);
        if (*c.said == '\0') {
            EXPECT_EQ(reason, "");
        } else {
            EXPECT_TRUE(EndsWith(reason, c.said)) << reason;
        }
    }
}

TEST(Win32TrustedProgram, AFolderTheOtherGroupsMayWriteIsRefused) {
    struct Case {
        const wchar_t* group;
        WELL_KNOWN_SID_TYPE type;
        const char* name;
    } const cases[] = {
        {L"AU", WinAuthenticatedUserSid, "Authenticated Users"},
        {L"BU", WinBuiltinUsersSid, "Users"},
        {L"BG", WinBuiltinGuestsSid, "Guests"},
    };
    const ScopedEnv untrusted(platform::kTrustedDirsVariable, std::nullopt);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Installed at;
        // Adding files only: a program or a DLL of theirs beside ours.
        ASSERT_TRUE(SetAccess(at.inner, Access(c.group, L"0x100002")));
        if (!KeepsGrant(at.inner, c.type, FILE_ADD_FILE))
            GTEST_SKIP() << "the system does not give back a grant to " << c.name
                         << " (Wine keeps a DACL as the mode bits: the owner and Everyone only)";
        EXPECT_TRUE(EndsWith(UntrustedProgramReason(at.program), std::string("\\inner is writable by ") + c.name))
            << UntrustedProgramReason(at.program);
    }
}

// A junction the program can make itself; false where the system makes none
// (Wine 8 supports no FSCTL_SET_REPARSE_POINT, and its CreateSymbolicLinkW
// makes nothing).
bool MakeJunction(const fs::path& junction, const fs::path& target) {
    if (!CreateDirectoryW(junction.c_str(), nullptr)) return false;
    HANDLE h = CreateFileW(junction.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    // A mount point's reparse data: the target in NT form, then an empty print name.
    const std::wstring name = L"\\??\\" + target.wstring();
    const WORD nameBytes = static_cast<WORD>(name.size() * sizeof(wchar_t));
    BYTE buffer[2048] = {};
    *reinterpret_cast<DWORD*>(buffer) = IO_REPARSE_TAG_MOUNT_POINT;
    auto* words = reinterpret_cast<WORD*>(buffer + 4);
    words[0] = static_cast<WORD>(8 + nameBytes + 2 * sizeof(wchar_t));  // data length
    words[3] = nameBytes;                                              // target at 0
    words[4] = static_cast<WORD>(nameBytes + sizeof(wchar_t));         // empty print name
    std::memcpy(buffer + 16, name.data(), nameBytes);
    DWORD returned = 0;
    const BOOL made = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buffer, 8 + words[0], nullptr, 0, &returned, nullptr);
    CloseHandle(h);
    if (made && (GetFileAttributesW(junction.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    RemoveDirectoryW(junction.c_str());
    return false;
}

// A link or junction on the way could lead anywhere the writers choose,
// whatever the descriptors of what it leads to say.
TEST(Win32TrustedProgram, AReparsePointOnTheWayIsRefused) {
    // The folders are judged here, not taken on an administrator's word.
    const ScopedEnv untrusted(platform::kTrustedDirsVariable, std::nullopt);
    Installed at;
    struct Case {
        std::string name;
        fs::path program;
        std::string said;
    };
    std::vector<Case> cases;
    if (MakeJunction(at.outer / "link", at.inner))
        cases.push_back({"a junction above", at.outer / "link" / "WQA.exe", "\\link is a reparse point"});
#ifdef VEL_LINKED_DIR
    cases.push_back({"a link above", fs::path(VEL_LINKED_DIR) / "link" / "WQA.exe", "\\link is a reparse point"});
#endif
    if (cases.empty()) GTEST_SKIP() << "the system makes no junction, and the build made no links";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string reason = UntrustedProgramReason(c.program);
        EXPECT_TRUE(EndsWith(reason, c.said)) << reason;
    }
    RemoveDirectoryW((at.outer / "link").c_str());
}

// The work folder given a drive letter of its own: its root is a folder the
// writers may write like any other, and a program below it is theirs to
// replace. Wine makes a drive of a folder in its prefix's dosdevices.
TEST(Win32TrustedProgram, ADriveWhoseRootOthersMayWriteIsRefused) {
    // Set before the prefix is read: a change of the environment may move it.
    const ScopedEnv untrusted(platform::kTrustedDirsVariable, std::nullopt);
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) GTEST_SKIP() << "makes its drive in Wine's dosdevices";
    const fs::path devices = fs::path(HostFile(prefix)) / "dosdevices";
    fs::path drive;
    wchar_t letter = L'V';
    for (; letter > L'M'; --letter) {
        // Appended as text: a path of "v:" would replace the whole name.
        drive = devices.wstring() + L"\\" + static_cast<wchar_t>(towlower(letter)) + L":";
        if (CreateDirectoryW(drive.c_str(), nullptr)) break;
    }
    ASSERT_GT(letter, L'M') << "no free drive letter";
    const fs::path root = std::wstring(1, letter) + L":\\";
    ASSERT_TRUE(CreateDirectoryW((root / "prog").c_str(), nullptr));
    WriteAll(root / "prog" / "WQA.exe", "MZ");
    for (const fs::path& p : {root / "prog", root / "prog" / "WQA.exe"}) ASSERT_TRUE(SetAccess(p, kClosed)) << p;
    struct Case {
        const char* name;
        const wchar_t* rights;  // Everyone's on the root
        std::string said;
    } const cases[] = {
        {"a closed root", L"0x1200a9", ""},
        {"a root Everyone may write", L"0x1301ff", root.string() + " is writable by Everyone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetAccess(root, Access(L"WD", c.rights)));
        EXPECT_EQ(UntrustedProgramReason(root / "prog" / "WQA.exe"), c.said);
    }
    std::error_code ignored;
    fs::remove_all(drive, ignored);
}

// The folders of a share answer for their writers on the server: the program
// starts from one only where an administrator named it. Wine makes a share of
// a folder in its prefix's dosdevices\unc.
TEST(Win32TrustedProgram, AShareIsTrustedOnlyWhereTheAdministratorNamedIt) {
    const char* prefix = std::getenv("WINEPREFIX");
    if (!prefix) GTEST_SKIP() << "makes its share in Wine's dosdevices\\unc";
    const std::string server = "velshare" + std::to_string(GetCurrentProcessId());
    const fs::path unc = fs::path(HostFile(prefix)) / "dosdevices" / "unc";
    const fs::path shared = unc / server / "jobs";
    fs::create_directories(shared);
    WriteAll(shared / "WQA.exe", "MZ");
    const std::string share = "\\\\" + server + "\\jobs";
    struct Case {
        const char* name;
        std::optional<std::string> trusted;
        std::string said;
    } const cases[] = {
        {"named nowhere", std::nullopt, share + "\\WQA.exe lies on a network share, not named in VEL_TRUSTED_DIRS"},
        {"another share named", "\\\\" + server + "\\other", "lies on a network share, not named in VEL_TRUSTED_DIRS"},
        {"named by the administrator", share, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScopedEnv trusted(platform::kTrustedDirsVariable, c.trusted);
        const std::string reason = UntrustedProgramReason(fs::path(share) / "WQA.exe");
        if (c.said.empty()) {
            EXPECT_EQ(reason, "");
        } else {
            EXPECT_TRUE(EndsWith(reason, c.said)) << reason;
        }
    }
    std::error_code ignored;
    fs::remove_all(unc / server, ignored);
    fs::remove(unc, ignored);  // unless another test's share is still there
}

}  // namespace
}  // namespace vel::test
