// Files written whole or not at all: the text goes to a temporary file beside the target, which
// is renamed over it only once every byte is written, so that a failed write (a full disk, a
// file-size limit) leaves the old file as it was.
#pragma once

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// A mkstemp template in the target's folder whose last component stays within the folder's
// limit on name length: the target's name, cut short if need be, and ".XXXXXX".
inline std::string temporary_template(const std::string &path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t longest = (limit > 8 ? size_t(limit) : 255) - 7;
    return path.substr(0, path.size() - name.size()) + name.substr(0, longest) + ".XXXXXX";
}

// Writes text to path through a temporary file and a rename. Returns an empty string, or why
// the file was not written (errno's text); the temporary file is gone either way. The new file
// gets the permissions of any new file.
inline std::string write_whole_file(const std::string &path, const std::string &text) {
    if (path.empty())
        return strerror(ENOENT);
    // Over a file-size limit, a write fails with EFBIG instead of ending the process.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    std::string temporary = temporary_template(path);
    std::string failure;
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0) {
        failure = strerror(errno);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(descriptor, 0666 & ~mask);
        size_t done = 0;
        while (done < text.size() && failure.empty()) {
            const ssize_t written = write(descriptor, text.data() + done, text.size() - done);
            if (written < 0 && errno != EINTR)
                failure = strerror(errno);
            else if (written > 0)
                done += size_t(written);
        }
        if (failure.empty() && fsync(descriptor) != 0 && errno != EINVAL)
            failure = strerror(errno);
        if (close(descriptor) != 0 && failure.empty())
            failure = strerror(errno);
        if (failure.empty() && rename(temporary.c_str(), path.c_str()) != 0)
            failure = strerror(errno);
        if (!failure.empty())
            unlink(temporary.c_str());
    }
    sigaction(SIGXFSZ, &previous, nullptr);
    return failure;
}
