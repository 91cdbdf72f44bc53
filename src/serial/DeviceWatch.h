#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class QSocketNotifier;

namespace brivox {

// Waits for a device that went away to come back, without polling: inotify on the folders where
// its node or links appear (udev's /dev/serial/by-id, the port map, /dev), an attempt at every
// change there, and a few retries with back-off after a change whose attempt failed (udev sets a
// node's rights a moment after making it). A serial server gives no such sign: its attempts
// follow a back-off alone. Lives on the UI thread.
class CDeviceWatch : public QObject {
public:
    static constexpr int kFirstRetryMs = 100;
    static constexpr int kLongestRetryMs = 10000;
    static constexpr int kRetriesAfterChange = 6;

    // True when the device is back; the watch then ends.
    using Attempt = std::function<bool()>;

    explicit CDeviceWatch(Attempt attempt);
    ~CDeviceWatch() override;

    // Folders that do not exist yet are watched through their nearest existing parent. An error
    // text when no watch can be made (the retries go on then, as for a server).
    std::string Start(const std::vector<std::string>& folders, bool network);
    void Stop();
    bool IsWatching() const { return m_watching; }

private:
    void AddWatches();
    void OnChange();
    void OnRetry();
    void Try(bool afterChange);

    Attempt m_attempt;
    std::vector<std::string> m_folders;
    bool m_network = false;
    bool m_watching = false;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_retry;
    int m_retryMs = kFirstRetryMs;
    int m_retriesLeft = 0;
};

// The link of the folder (udev's /dev/serial/by-id) that names the same device as path, or path
// itself when it lies in the folder; empty when none does.
std::string FindDeviceIdentity(const std::string& byIdFolder, const std::string& path);

} // namespace brivox
