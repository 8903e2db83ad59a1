#include "atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

bool writeAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        written += static_cast<std::size_t>(n);
    }
    return true;
}

ReplaceResult replaceFile(const std::string& path, const std::string& text,
                          const std::function<void()>& beforeRename) {
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return ReplaceResult::noTemporary;
    const bool written =
        ::fchmod(fd, 0644) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed) {
        if (beforeRename) beforeRename();
        if (::rename(temporary.c_str(), path.c_str()) == 0) return ReplaceResult::replaced;
    }
    ::unlink(temporary.c_str());
    return ReplaceResult::failed;
}
