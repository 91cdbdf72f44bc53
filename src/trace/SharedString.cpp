#include "trace/SharedString.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

std::mutex g_mutex;
std::set<std::string> g_owned; // shared-memory names this process created

void ReleaseAllOwned() {
    const std::lock_guard lock(g_mutex);
    for (const std::string& object : g_owned)
        shm_unlink(object.c_str());
    g_owned.clear();
}

void ReleaseAtExit() {
    static std::once_flag once;
    std::call_once(once, [] { std::atexit(ReleaseAllOwned); });
}

constexpr char kOwnerTag[] = "owner=";

// The value as a C string, then the owning process: readers that stop at the first zero byte
// (other tools) see the value alone.
bool WriteObject(const std::string& object, const std::string& value) {
    const int fd = shm_open(object.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::string content = value;
    content += '\0';
    content += kOwnerTag + std::to_string(getpid());
    content += '\0';
    bool ok = ftruncate(fd, static_cast<off_t>(content.size())) == 0;
    void* view = ok ? mmap(nullptr, content.size(), PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
    close(fd);
    if (view == MAP_FAILED)
        return false;
    std::memcpy(view, content.data(), content.size());
    munmap(view, content.size());
    return ok;
}

// Shared memory outlives a process that crashed: a string whose recorded owner has ended is
// gone. One without an owner (another tool's) counts as long as it exists.
bool OwnerEnded(std::string_view trailer) {
    const size_t tag = trailer.find(kOwnerTag);
    if (tag == std::string_view::npos)
        return false;
    const pid_t owner = static_cast<pid_t>(
        std::atol(std::string(trailer.substr(tag + sizeof kOwnerTag - 1)).c_str()));
    return owner > 0 && kill(owner, 0) != 0 && errno == ESRCH;
}

} // namespace

std::string SharedMemoryName(const std::string& name) {
    std::string object = "/brivox.";
    for (const char c : name) {
        const char slashed = c == '\\' ? '/' : c;
        const auto u = static_cast<unsigned char>(slashed);
        if (std::isalnum(u) || slashed == '_' || slashed == '-' || slashed == '.') {
            object += slashed;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", u);
            object += escaped;
        }
    }
    return object;
}

bool SetSharedString(const std::string& name, const std::string& value) {
    ReleaseSharedString(name);
    const std::string object = SharedMemoryName(name);
    if (!WriteObject(object, value)) {
        shm_unlink(object.c_str());
        return false;
    }
    ReleaseAtExit();
    const std::lock_guard lock(g_mutex);
    g_owned.insert(object);
    return true;
}

std::string GetSharedString(const std::string& name, bool* found) {
    if (found != nullptr)
        *found = false;
    const int fd = shm_open(SharedMemoryName(name).c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        return "";
    struct stat info {};
    std::string value;
    bool present = false;
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        const auto size = static_cast<size_t>(info.st_size);
        void* view = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (view != MAP_FAILED) {
            const auto* text = static_cast<const char*>(view);
            const size_t length = strnlen(text, size);
            value.assign(text, length);
            present = !OwnerEnded(std::string_view(text, size).substr(std::min(length + 1, size)));
            munmap(view, size);
            if (!present)
                value.clear();
        }
    }
    close(fd);
    if (found != nullptr)
        *found = present;
    return value;
}

void ReleaseSharedString(const std::string& name) {
    const std::string object = SharedMemoryName(name);
    const std::lock_guard lock(g_mutex);
    if (g_owned.erase(object) > 0)
        shm_unlink(object.c_str());
}

} // namespace brivox
