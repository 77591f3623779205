#include "pdf/pdf_file_name.h"

#include "common/io.h"

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace vel::platform {

std::string PdfFileNameOf(const std::string& title) {
    std::string name;
    for (char ch : title) {
        const auto c = static_cast<unsigned char>(ch);
        const bool refused = c < 0x20 || c == 0x7F || std::string_view("/\\:*?\"<>|").find(ch) != std::string_view::npos;
        name += refused ? '_' : ch;
    }
    // No leading dots (hidden files) or spaces, no trailing dots or spaces.
    while (!name.empty() && (name.front() == '.' || name.front() == ' ')) name.erase(name.begin());
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (name.size() > 120) name.resize(120);
    if (name.empty()) name = "Vel";
    const std::string lower = name.size() >= 4 ? name.substr(name.size() - 4) : std::string();
    if (!(lower.size() == 4 && lower[0] == '.' && (lower[1] | 0x20) == 'p' && (lower[2] | 0x20) == 'd' &&
          (lower[3] | 0x20) == 'f'))
        name += ".pdf";
    return name;
}

std::string PdfFolder() {
    if (const char* env = std::getenv("VEL_PDF_DIR"); env && *env) return env;
    std::error_code ec;
    return NameFromPath(std::filesystem::current_path(ec) / "pdf");
}

}  // namespace vel::platform
