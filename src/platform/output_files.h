#pragma once
// Whole files the printer writes: a document is written under a temporary
// name that carries the writing process's id, in the folder of its final name,
// and takes that name only when complete. What a process that died left
// behind is recognised by the id and removed by the next start.
// Names are the system's (UTF-8 on Linux, code page 1250 on Windows); the
// calls below them are in platform/file_system.h.

#include <string>

namespace vel::platform {

// "vel-doc-" + process id + "-": the start of every temporary document name.
std::string OwnTemporaryPrefix();

// Creates an empty temporary file named OwnTemporaryPrefix() + a unique part +
// `extension` in `folder`, readable by its owner only; returns its path.
// Raises vel::IoError.
std::string CreateTemporaryFile(const std::string& folder, const std::string& extension);

// Makes the finished file durable, then renames it to `target`, replacing
// an existing file. Raises vel::IoError; the temporary file is then removed.
void CommitReplacing(const std::string& temporary, const std::string& target);

// The same, but never over an existing file: the first free name of
// `target`, `target` with "_2", "_3"... before its extension. Returns the
// name taken.
std::string CommitToFreeName(const std::string& temporary, const std::string& target);

// Removes the temporary documents in `folder` whose process no longer runs.
void RemoveAbandonedTemporaryFiles(const std::string& folder);

}  // namespace vel::platform
