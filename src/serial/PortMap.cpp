#include "serial/PortMap.h"

#include "platform/Paths.h"
#include "serial/NetworkAddress.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace brivox {

namespace {

// Unix98 pseudo-terminal slaves (136 to 143) have no node in sysfs.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

std::string LinkName(int number) {
    return "COM" + std::to_string(number);
}

// The number of a "COM<digits>" name, or 0.
int LinkNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 12 || name.compare(0, 3, "COM") != 0)
        return 0;
    long number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number > 0 && number <= 0x7FFFFFFF ? static_cast<int>(number) : 0;
}

std::string ReadLinkText(const std::string& path) {
    char buffer[4096];
    const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer - 1);
    return length < 0 ? "" : std::string(buffer, static_cast<size_t>(length));
}

std::string CanonicalPath(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return "";
    std::string text(resolved);
    std::free(resolved);
    return text;
}

std::string SysfsSubsystem(dev_t device) {
    const std::string node = "/sys/dev/char/" + std::to_string(major(device)) + ":" +
                             std::to_string(minor(device)) + "/subsystem";
    const std::string target = ReadLinkText(node);
    return target.substr(target.find_last_of('/') + 1);
}

constexpr int kMaxPortNumber = 9999;
constexpr char kProcessFolders[] = "/proc/";

// A link through a process's descriptor whose process has ended.
bool IsLinkOfEndedProcess(const std::string& path) {
    return ReadLinkText(path).rfind(kProcessFolders, 0) == 0 && CanonicalPath(path).empty();
}

} // namespace

std::string PortMapFolder() {
    return SettingsPath("ports");
}

std::vector<CPortLink> ReadPortMap(const std::string& folder) {
    std::vector<CPortLink> links;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return links;
    while (const dirent* entry = readdir(dir)) {
        CPortLink link;
        link.number = LinkNumber(entry->d_name);
        const std::string path = folder + "/" + entry->d_name;
        link.target = ReadLinkText(path);
        if (link.number == 0 || link.target.empty())
            continue;
        // A server is never asked at discovery time: nothing goes over the network before the
        // user opens the port.
        if (IsNetworkAddress(link.target)) {
            link.identity = link.target;
            link.present = true;
            links.push_back(std::move(link));
            continue;
        }
        if (link.target[0] != '/')
            link.target = folder + "/" + link.target;
        link.identity = CanonicalPath(path);
        link.present = !link.identity.empty() && IsTtyDevice(link.identity);
        links.push_back(std::move(link));
    }
    closedir(dir);
    return links;
}

std::string RegisterPort(const std::string& folder, int number, const std::string& devicePath) {
    if (!MakeSurePathExists(folder))
        return folder + ": cannot create the folder";
    const std::string path = folder + "/" + LinkName(number);
    const std::string temporary = path + ".new" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(devicePath.c_str(), temporary.c_str()) != 0 ||
        rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string error = path + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        return error;
    }
    return "";
}

int RegisterFreePort(const std::string& folder, const std::string& devicePath,
                     const std::vector<int>& inUse, std::string& error) {
    if (!MakeSurePathExists(folder)) {
        error = folder + ": cannot create the folder";
        return 0;
    }
    for (int number = 1; number <= kMaxPortNumber; ++number) {
        if (std::find(inUse.begin(), inUse.end(), number) != inUse.end())
            continue;
        const std::string path = folder + "/" + LinkName(number);
        if (symlink(devicePath.c_str(), path.c_str()) == 0)
            return number;
        if (errno != EEXIST) {
            error = path + ": " + std::strerror(errno);
            return 0;
        }
        if (IsLinkOfEndedProcess(path) && RegisterPort(folder, number, devicePath).empty())
            return number;
    }
    error = "no free COM number";
    return 0;
}

void UnregisterPort(const std::string& folder, int number, const std::string& devicePath) {
    const std::string path = folder + "/" + LinkName(number);
    if (ReadLinkText(path) == devicePath)
        unlink(path.c_str());
}

std::string ProcessOwnedPath(int fd) {
    return kProcessFolders + std::to_string(getpid()) + "/fd/" + std::to_string(fd);
}

bool IsTtyDevice(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    const unsigned deviceMajor = major(info.st_rdev);
    if (deviceMajor >= kPtySlaveMajorFirst && deviceMajor <= kPtySlaveMajorLast)
        return true;
    return SysfsSubsystem(info.st_rdev) == "tty";
}

} // namespace brivox
