#include "program_path.h"

#include <unistd.h>

#include <vector>

std::string programPath() {
    std::vector<char> buf(4096);
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
    return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::string programDir() {
    const std::string path = programPath();
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}
