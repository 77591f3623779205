#include "shell/win32/win32_services.h"

#include "common/io.h"
#include "platform/file_system.h"

#include <windows.h>
#include <shellapi.h>

#include <cstring>

namespace vel::platform {

namespace {

constexpr int kStarted = 42;

// The shell's code for a failed start, from the system error.
int CodeOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return 2;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return 3;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
            return 5;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return 8;
        case ERROR_BAD_FORMAT:
        case ERROR_BAD_EXE_FORMAT:
        case ERROR_EXE_MACHINE_TYPE_MISMATCH:
            return 11;
        default:
            return 2;
    }
}

int ShowCommand(ShowMode mode) {
    switch (mode) {
        case ShowMode::Minimized:
            return SW_SHOWMINNOACTIVE;
        case ShowMode::Hidden:
            return SW_HIDE;
        default:
            return SW_SHOWNORMAL;
    }
}

bool IsAddress(const std::string& target) {
    return target.rfind("http://", 0) == 0 || target.rfind("https://", 0) == 0 || target.rfind("www.", 0) == 0;
}

}  // namespace

DateTime Win32Clock::now() {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek};
}

std::string Win32Clock::longTimeText() {
    wchar_t text[64] = {};
    if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 64) <= 0) return {};
    return NarrowFileName(text);
}

void Win32Clock::sleepMs(int milliseconds) {
    if (milliseconds > 0) Sleep(static_cast<DWORD>(milliseconds));
}

std::int64_t Win32Clock::steadyMs() { return static_cast<std::int64_t>(GetTickCount64()); }

int Win32Shell::open(const std::string& target, const std::string& parameters, const std::string& directory,
                     ShowMode mode) {
    if (target.empty()) return 2;
    const std::wstring file =
        IsAddress(target) ? WideFileName(target.rfind("www.", 0) == 0 ? "http://" + target : target)
                          : NativePath(target).native();
    const std::wstring params = WideFileName(parameters);
    const std::wstring dir = directory.empty() ? std::wstring() : NativePath(directory).native();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = params.empty() ? nullptr : params.c_str();
    info.lpDirectory = dir.empty() ? nullptr : dir.c_str();
    info.nShow = ShowCommand(mode);
    if (ShellExecuteExW(&info)) return kStarted;
    const auto code = static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp));
    if (code > 0 && code <= 32) return code;
    return CodeOf(GetLastError());
}

int Win32Shell::run(const std::string& commandLine) {
    std::wstring line = WideFileName(commandLine);
    if (line.empty()) return 2;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return CodeOf(GetLastError());
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return kStarted;
}

std::string Win32Clipboard::text() {
    if (!OpenClipboard(nullptr)) return {};
    std::string text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = NarrowFileName(wide);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void Win32Clipboard::setText(const std::string& text) {
    const std::wstring wide = WideFileName(text);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
    if (!memory) return;
    if (void* p = GlobalLock(memory)) {
        std::memcpy(p, wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(nullptr)) {
        GlobalFree(memory);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
    CloseClipboard();
}

void Win32EventPump::processPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return args;
    for (int i = 1; i < count; ++i) args.push_back(NarrowFileName(wide[i]));
    LocalFree(wide);
    return args;
}

}  // namespace vel::platform
