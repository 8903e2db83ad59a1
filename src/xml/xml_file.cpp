// TXMLParser::LoadFromFile: reads a whole regular file into an owned, NUL-terminated buffer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "libxmlparser.h"

namespace {
struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};
}  // namespace

bool TXMLParser::LoadFromFile(const std::string& fileName, int /*fileMode*/) {
    Clear();
    // O_NONBLOCK: opening a FIFO named by a document must not hang; such files are refused below.
    Fd f{::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    if (f.fd < 0) return false;
    struct stat st {};
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return false;
    const auto size = static_cast<std::size_t>(st.st_size);
    if (size == static_cast<std::size_t>(-1)) return false;
    char* buf = new (std::nothrow) char[size + 1];
    if (!buf) return false;
    owned_.reset(buf);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(f.fd, buf + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            Clear();
            return false;
        }
        if (n == 0) break;  // the file shrank meanwhile
        got += static_cast<std::size_t>(n);
    }
    buf[got] = '\0';
    Buffer = buf;
    BufferSize = size + 1;
    SourceName = fileName;
    return true;
}
