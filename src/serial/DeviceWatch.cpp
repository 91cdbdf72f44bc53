#include "serial/DeviceWatch.h"

#include <QSocketNotifier>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brivox {

namespace {

constexpr uint32_t kChangeEvents = IN_CREATE | IN_MOVED_TO | IN_ATTRIB | IN_CLOSE_WRITE;

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string NearestExistingFolder(std::string path) {
    while (!path.empty() && path != "/" && !IsFolder(path)) {
        const size_t slash = path.find_last_of('/');
        path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
    }
    return path.empty() ? "/" : path;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

} // namespace

CDeviceWatch::CDeviceWatch(Attempt attempt) : m_attempt(std::move(attempt)) {
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] { OnRetry(); });
}

CDeviceWatch::~CDeviceWatch() {
    Stop();
}

std::string CDeviceWatch::Start(const std::vector<std::string>& folders, bool network) {
    Stop();
    m_folders = folders;
    m_network = network;
    m_watching = true;
    m_retryMs = kFirstRetryMs;
    m_retriesLeft = kRetriesAfterChange;
    m_retry.start(m_retryMs);
    if (network || folders.empty())
        return "";
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        m_network = true; // no sign will come: keep retrying
        return "inotify: no watch can be made";
    }
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { OnChange(); });
    AddWatches();
    return "";
}

// Again at every change: a folder that was missing may exist now (udev makes /dev/serial with
// the first adapter); the kernel keeps one watch per folder however often it is added.
void CDeviceWatch::AddWatches() {
    for (const std::string& folder : m_folders)
        inotify_add_watch(m_fd, NearestExistingFolder(folder).c_str(), kChangeEvents);
}

void CDeviceWatch::Stop() {
    m_watching = false;
    m_retry.stop();
    if (m_notifier != nullptr) {
        // Stop may be called from the notifier's own signal.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

void CDeviceWatch::OnChange() {
    char events[4096];
    while (read(m_fd, events, sizeof events) > 0) {
    }
    AddWatches();
    m_retryMs = kFirstRetryMs;
    m_retriesLeft = kRetriesAfterChange;
    Try(true);
}

void CDeviceWatch::OnRetry() {
    Try(false);
}

void CDeviceWatch::Try(bool afterChange) {
    if (!m_watching || m_attempt())
        return;
    if (!m_watching) // the attempt stopped the watch
        return;
    if (!afterChange && !m_network && --m_retriesLeft <= 0)
        return; // a device that stays away is waited for in the folders alone
    if (!afterChange)
        m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
    m_retry.start(m_retryMs);
}

std::string FindDeviceIdentity(const std::string& byIdFolder, const std::string& path) {
    if (path.rfind(byIdFolder + "/", 0) == 0)
        return path;
    const std::string device = RealPath(path);
    DIR* folder = device.empty() ? nullptr : opendir(byIdFolder.c_str());
    if (folder == nullptr)
        return "";
    std::string found;
    while (const dirent* entry = readdir(folder)) {
        const std::string link = byIdFolder + "/" + entry->d_name;
        if (entry->d_name[0] != '.' && RealPath(link) == device) {
            found = link;
            break;
        }
    }
    closedir(folder);
    return found;
}

} // namespace brivox
