#include "platform/file_system.h"

#include <windows.h>

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
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

bool MarkedHiddenOrSystem(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    return (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
}

}  // namespace vel::platform
