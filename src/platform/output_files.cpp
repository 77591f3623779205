#include "platform/output_files.h"

#include "common/io.h"
#include "platform/file_system.h"

#include <atomic>
#include <cstdlib>

namespace vel::platform {

namespace {

constexpr const char* kTemporaryStart = "vel-doc-";

std::string InFolder(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/' || folder.back() == '\\') return folder + name;
    return folder + kPathSeparator + name;
}

std::string Failure(const std::string& what) { return what + " (" + LastSystemError() + ")"; }

}  // namespace

std::string OwnTemporaryPrefix() { return kTemporaryStart + std::to_string(CurrentProcessId()) + "-"; }

std::string CreateTemporaryFile(const std::string& folder, const std::string& extension) {
    // Numbered within the process; a number a dead process of the same id
    // left behind is passed over.
    static std::atomic<unsigned> next{1};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::string path = InFolder(folder, OwnTemporaryPrefix() + std::to_string(next++) + extension);
        switch (CreateNewFile(NativePath(path))) {
        case FreeName::Taken:
            return path;
        case FreeName::Exists:
            continue;
        case FreeName::Failed:
            throw IoError(path, Failure("cannot create the print file"));
        }
    }
    throw IoError(folder, "no free name for a print file");
}

void CommitReplacing(const std::string& temporary, const std::string& target) {
    try {
        if (!SyncFile(NativePath(temporary))) throw IoError(temporary, Failure("cannot write the print file"));
        if (!RenameReplacing(NativePath(temporary), NativePath(target)))
            throw IoError(target, Failure("cannot write the PDF file"));
    } catch (...) {
        DeleteFileQuietly(temporary);
        throw;
    }
}

std::string CommitToFreeName(const std::string& temporary, const std::string& target) {
    try {
        if (!SyncFile(NativePath(temporary))) throw IoError(temporary, Failure("cannot write the print file"));
        // "_2", "_3"... go before the extension of the file's own name.
        const std::size_t nameStart = target.find_last_of("/\\") == std::string::npos ? 0 : target.find_last_of("/\\") + 1;
        std::size_t dot = target.rfind('.');
        if (dot == std::string::npos || dot <= nameStart) dot = target.size();
        const std::string stem = target.substr(0, dot), extension = target.substr(dot);
        for (int n = 1; n <= 9999; ++n) {
            const std::string name = n == 1 ? target : stem + "_" + std::to_string(n) + extension;
            switch (RenameNoReplace(NativePath(temporary), NativePath(name))) {
            case FreeName::Taken:
                return name;
            case FreeName::Exists:
                continue;
            case FreeName::Failed:
                throw IoError(name, Failure("cannot write the PDF file"));
            }
        }
        throw IoError(target, "no free name for the PDF file");
    } catch (...) {
        DeleteFileQuietly(temporary);
        throw;
    }
}

void RemoveAbandonedTemporaryFiles(const std::string& folder) {
    const std::size_t start = std::char_traits<char>::length(kTemporaryStart);
    for (const std::string& name : FindFiles(InFolder(folder, std::string(kTemporaryStart) + "*"))) {
        char* after = nullptr;
        const long pid = std::strtol(name.c_str() + start, &after, 10);
        if (after == name.c_str() + start || *after != '-' || ProcessRuns(pid)) continue;
        DeleteFileQuietly(InFolder(folder, name));
    }
}

}  // namespace vel::platform
