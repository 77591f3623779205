#include "common/commands.h"

#include "common/io.h"
#include "common/program.h"
#include "common/status.h"
#include "platform/file_system.h"
#include "platform/shell.h"

#include <filesystem>

namespace vel {

void RunCommand(Program& program, const std::string& commandLine) { program.sys.shell.run(commandLine); }

std::string StartRefusal(const std::string& path) {
    // Nothing there: starting it fails, and the system says so as before.
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(NativePath(path), ec))) return {};
    return platform::UntrustedProgramReason(NativePath(path));
}

bool MayStart(Program& program, const std::string& path) {
    const std::string reason = StartRefusal(path);
    if (reason.empty()) return true;
    ReportStartRefusal(program, path, reason);
    return false;
}

void ReportStartRefusal(Program& program, const std::string& shown, const std::string& reason) {
    ReportRefusal(program, "Odmowa startu  " + shown, reason);
}

void ReportRefusal(Program& program, const std::string& message, const std::string& reason) {
    try {
        AppendFile("Vel.err", " " + message + "  (" + reason + ")\r\n");
    } catch (const IoError&) {
        // The status line still says it.
    }
    ShowStatus(program, message);
}

}  // namespace vel
