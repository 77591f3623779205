#include "common/job_files.h"

#include "common/io.h"
#include "common/status.h"
#include "platform/clock.h"
#include "platform/open_files.h"

#include <filesystem>
#include <cstdio>

namespace vel {

std::optional<FileSignature> FileSignatureOf(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path native = NativePath(path);
    const auto size = fs::file_size(native, ec);
    if (ec) return std::nullopt;
    const auto time = fs::last_write_time(native, ec);
    if (ec) return std::nullopt;
    return FileSignature{static_cast<std::int64_t>(size),
                         static_cast<std::int64_t>(time.time_since_epoch().count())};
}

JobFileState CheckJobFile(Program& program, const std::string& path) {
    ProgramState& s = program.state;
    const std::optional<FileSignature> signature = FileSignatureOf(path);
    if (!signature) {
        s.seenJobs.erase(path);
        s.keptJobs.erase(path);
        return JobFileState::Gone;
    }
    if (auto kept = s.keptJobs.find(path); kept != s.keptJobs.end()) {
        if (kept->second == *signature) return JobFileState::Done;
        s.keptJobs.erase(kept);  // a new job under the same name
    }
    const std::int64_t now = program.sys.clock.steadyMs();
    auto [it, added] = s.seenJobs.try_emplace(path, SeenJobFile{*signature, now, -1});
    SeenJobFile& seen = it->second;
    if (added) return JobFileState::New;
    if (!(seen.signature == *signature)) {
        seen.signature = *signature;
        seen.sinceMs = now;
        return JobFileState::Changing;
    }
    if (now - seen.sinceMs < kJobSettleMs) return JobFileState::New;  // looked at again too soon
    return JobFileState::Ready;
}

bool JobFileFree(const std::string& path) {
    std::FILE* file = OpenFile(path, "rb");
    if (!file) return false;
    std::fclose(file);
    return !platform::OpenForWritingElsewhere(NameFromPath(NativePath(path)));
}

void ForgetMissingJobFiles(Program& program) {
    std::erase_if(program.state.seenJobs, [](const auto& entry) { return !FileExists(entry.first); });
    std::erase_if(program.state.keptJobs, [](const auto& entry) { return !FileExists(entry.first); });
}

bool RemoveFinishedJobFile(Program& program, const std::string& path) {
    if (DeleteFileQuietly(path) || !FileExists(path)) {
        program.state.seenJobs.erase(path);
        return true;
    }
    KeepFinishedJobFile(program, path);
    return false;
}

void KeepFinishedJobFile(Program& program, const std::string& path) {
    if (auto signature = FileSignatureOf(path)) program.state.keptJobs[path] = *signature;
    program.state.seenJobs.erase(path);
    // "Nie mogę usunąć " + the name: the job is done and is not run again.
    const std::string message = "Nie mog\xea usun\xb9\xe6 " + path;
    try {
        AppendFile("Vel.err", " " + message + ".\r\n");
    } catch (const IoError&) {
        // The trace cannot be written either; the status line still says it.
    }
    ShowStatus(program, message);
    program.state.savedStatus = message;
}

}  // namespace vel
