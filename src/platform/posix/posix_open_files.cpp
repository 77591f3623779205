#include "platform/open_files.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vel::platform {

bool OpenForWritingElsewhere(const std::string& path) {
    // A read lease is refused (EAGAIN) while any descriptor of the file is
    // open for writing. It is given back at once; should a writer open the
    // file in that moment, the lease break is signalled with SIGURG, which
    // is ignored by default, instead of SIGIO, which would end the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return false;
    bool writing = false;
    if (::fcntl(fd, F_SETSIG, SIGURG) == 0) {
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            ::fcntl(fd, F_SETLEASE, F_UNLCK);
        } else {
            writing = errno == EAGAIN;
        }
    }
    ::close(fd);
    return writing;
}

}  // namespace vel::platform
