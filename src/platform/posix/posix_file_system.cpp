#include "platform/file_system.h"

namespace vel::platform {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

// Hidden here is only a name beginning with '.', which the callers test.
bool MarkedHiddenOrSystem(const std::filesystem::path&) { return false; }

}  // namespace vel::platform
