#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>
#include <mutex>
#include <utility>

namespace brivox {

namespace {

std::mutex g_openerMutex;
UrlOpener g_opener;

bool Open(const QUrl& address) {
    UrlOpener opener;
    {
        const std::lock_guard lock(g_openerMutex);
        opener = g_opener;
    }
    return opener ? opener(address) : QDesktopServices::openUrl(address);
}

} // namespace

bool OpenWebPage(const std::string& url) {
    const QUrl address(QString::fromStdString(url), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != "http" && scheme != "https"))
        return false;
    return Open(address);
}

bool OpenLocalFolder(const std::string& path) {
    return Open(QUrl::fromLocalFile(QString::fromStdString(path)));
}

UrlOpener SetUrlOpener(UrlOpener opener) {
    const std::lock_guard lock(g_openerMutex);
    return std::exchange(g_opener, std::move(opener));
}

} // namespace brivox
