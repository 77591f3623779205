#pragma once

#include <string>

namespace vel::platform {

// Whether another process holds the file open for writing: a sibling
// program still writing a job file. False when the system cannot tell (a
// network share, a file of another user), so that the caller falls back on
// watching the file's size and time.
// `path` is the program's code page 1250 name of the file.
bool OpenForWritingElsewhere(const std::string& path);

}  // namespace vel::platform
