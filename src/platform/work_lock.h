#pragma once

#include <memory>
#include <string>

namespace vel::platform {

// The lock file of a work folder: created and held open for writing with an
// exclusive lock until released, so that a second instance on the same
// folder fails to take it. Other processes may still read the file.
class WorkLock {
public:
    virtual ~WorkLock() = default;
    // False when the file cannot be created or another holder has it.
    // `name` is the program's code page 1250 name of the file.
    virtual bool acquire(const std::string& name) = 0;
    // Closes the file; false when the close failed.
    virtual bool release() = 0;
    virtual bool held() const = 0;
};

// The operating system's lock: flock on an open file descriptor, or on
// Windows the file open with a share mode that refuses other writers.
std::unique_ptr<WorkLock> MakeSystemWorkLock();

}  // namespace vel::platform
