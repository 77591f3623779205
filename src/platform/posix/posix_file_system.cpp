#include "platform/file_system.h"

namespace vel::platform {

std::FILE* OpenFile(const std::filesystem::path& path, const char* mode) { return std::fopen(path.c_str(), mode); }

}  // namespace vel::platform
