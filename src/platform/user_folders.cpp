#include "user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool absolute(const char* path) {
    return path != nullptr && path[0] == '/';
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The home folder without a trailing slash ("" for the root itself); nothing when none is known.
bool homeFolder(std::string& home) {
    if (const char* env = std::getenv("HOME"); absolute(env)) {
        home = env;
    } else if (const passwd* user = ::getpwuid(::getuid()); user != nullptr && absolute(user->pw_dir)) {
        home = user->pw_dir;
    } else {
        return false;
    }
    if (home.size() > 1 && home.back() == '/') home.pop_back();
    if (home == "/") home.clear();
    return true;
}

}  // namespace

std::string userConfigDir() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); absolute(config)) return config;
    std::string home;
    return homeFolder(home) ? home + "/.config" : std::string();
}

std::string userDataDir() {
    if (const char* data = std::getenv("XDG_DATA_HOME"); absolute(data)) return data;
    std::string home;
    return homeFolder(home) ? home + "/.local/share" : std::string();
}

bool folderWritable(const std::string& folder) {
    return !folder.empty() && isFolder(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

bool makeFolders(const std::string& folder) {
    if (folder.empty()) return false;
    if (isFolder(folder)) return true;
    const auto slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(folder.substr(0, slash)))
        return false;
    return (::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST) && isFolder(folder);
}
