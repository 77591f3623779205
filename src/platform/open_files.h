#pragma once

#include <string>

namespace vel::platform {

// Whether another process holds the file open for writing: a sibling
// program still writing a job file. False when the system cannot tell (a
// network share, a file of another user), so that the caller falls back on
// watching the file's size and time.
bool OpenForWritingElsewhere(const std::string& path);

}  // namespace vel::platform
