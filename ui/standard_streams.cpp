#include "ui/standard_streams.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

void secure_standard_streams() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor: this one, as those below it are open by now.
        open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
    signal(SIGPIPE, SIG_IGN);
}
