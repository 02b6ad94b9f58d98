#include "ctl/standard_streams.h"

#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>

namespace tuner {

void HoldClosedStandardStreams() {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free number is fd itself: the ones below it are open or were just taken.
        // Read-only, so a write to it fails with "Bad file descriptor".
        const int held = ::open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd)
            ::close(held);
    }
}

// A terminal shows the bytes it is given in the locale's encoding, which is UTF-8 here.
std::unique_ptr<QIODevice> OpenStandardStream(int descriptor) {
    return OpenDescriptor(descriptor);
}

} // namespace tuner
