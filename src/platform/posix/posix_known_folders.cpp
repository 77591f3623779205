#include "platform/file_system.h"

#include <cstdlib>
#include <fstream>
#include <string>

namespace vel::platform {

namespace {

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

std::filesystem::path UserDownloadsFolder() {
    if (std::string xdg = Variable("XDG_DOWNLOAD_DIR"); !xdg.empty()) return xdg;
    const std::string home = Variable("HOME");
    if (home.empty()) return {};
    // What `xdg-user-dir DOWNLOAD` reads: XDG_DOWNLOAD_DIR="$HOME/Downloads".
    const std::string configHome = Variable("XDG_CONFIG_HOME");
    const std::string config = configHome.empty() ? home + "/.config" : configHome;
    std::ifstream dirs(config + "/user-dirs.dirs");
    const std::string key = "XDG_DOWNLOAD_DIR=";
    std::string line;
    while (std::getline(dirs, line)) {
        if (line.rfind(key, 0) != 0) continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return home + "/Downloads";
}

}  // namespace vel::platform
