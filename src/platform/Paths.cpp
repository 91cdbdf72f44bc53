#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return home;
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::string ConfigRoot() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg == '/')
        return xdg;
    return HomeFolder() + "/.config";
}

std::string SettingsFolder() {
    return ConfigRoot() + "/Brivox";
}

std::string SettingsPath(const std::string& fileName) {
    return SettingsFolder() + "/" + fileName;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return "";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeSurePathExists(const std::string& folder) {
    if (folder.empty() || IsFolder(folder))
        return true;
    const std::string parent = FolderOf(folder);
    if (parent != folder && !MakeSurePathExists(parent))
        return false;
    return mkdir(folder.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(folder));
}

bool PathExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

} // namespace brivox
