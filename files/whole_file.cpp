#include "files/whole_file.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Links followed before giving up, as the system does (ELOOP).
constexpr int kMostLinks = 40;

// A mkstemp template in the target's folder whose last component stays within the folder's
// limit on name length: the target's name, cut short if need be, and ".XXXXXX".
std::string temporary_template(const std::string &path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
    const size_t longest = (limit > 8 ? size_t(limit) : 255) - 7;
    return path.substr(0, path.size() - name.size()) + name.substr(0, longest) + ".XXXXXX";
}

// The file that path names once its symbolic links are followed (a link's relative target read
// from the link's folder); errno set and false when they do not end.
bool follow_links(std::string &path) {
    for (int links = 0; links <= kMostLinks; links++) {
        struct stat status {};
        if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            return true;
        char target[PATH_MAX];
        const ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
        if (length < 0)
            return false;
        const std::string to(target, size_t(length));
        const size_t slash = path.rfind('/');
        path = to[0] == '/' || slash == std::string::npos ? to : path.substr(0, slash + 1) + to;
    }
    errno = ELOOP;
    return false;
}

std::string write_all(int descriptor, const std::string &bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno != EINTR)
            return strerror(errno);
        if (written > 0)
            done += size_t(written);
    }
    return {};
}

std::string replace(const std::string &given, const std::string &bytes) {
    std::string path = given;
    if (!follow_links(path))
        return strerror(errno);
    struct stat old {};
    const bool exists = stat(path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return strerror(EISDIR);
    if (exists && !S_ISREG(old.st_mode)) {
        // A device or a pipe (/dev/stdout, say) is written into, never replaced.
        const int descriptor = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (descriptor < 0)
            return strerror(errno);
        std::string failure = write_all(descriptor, bytes);
        if (close(descriptor) != 0 && failure.empty())
            failure = strerror(errno);
        return failure;
    }
    std::string temporary = temporary_template(path);
    const int descriptor = mkstemp(temporary.data());
    if (descriptor < 0)
        return strerror(errno);
    mode_t mode = old.st_mode & 07777;
    if (!exists) {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    std::string failure;
    if (fchmod(descriptor, mode) != 0)
        failure = strerror(errno);
    // The old file's owner too, where this process may give it (as root); else the writer's.
    if (failure.empty() && exists && fchown(descriptor, old.st_uid, old.st_gid) != 0)
        errno = 0;
    if (failure.empty())
        failure = write_all(descriptor, bytes);
    if (failure.empty() && fsync(descriptor) != 0 && errno != EINVAL)
        failure = strerror(errno);
    if (close(descriptor) != 0 && failure.empty())
        failure = strerror(errno);
    if (failure.empty() && rename(temporary.c_str(), path.c_str()) != 0)
        failure = strerror(errno);
    if (!failure.empty())
        unlink(temporary.c_str());
    return failure;
}

} // namespace

std::string replace_file(const std::string &path, const std::string &bytes) {
    if (path.empty())
        return strerror(ENOENT);
    // Over a file-size limit a write fails with EFBIG instead of ending the process.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    const std::string failure = replace(path, bytes);
    sigaction(SIGXFSZ, &previous, nullptr);
    return failure;
}
