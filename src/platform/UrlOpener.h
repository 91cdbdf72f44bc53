#pragma once

#include <functional>
#include <string>

class QUrl;

namespace brivox {

// Opens a web page in the user's browser; only http and https addresses are ever opened. False
// when the address is refused or nothing could open it.
bool OpenWebPage(const std::string& url);

// Opens a local folder in the user's file manager: release publishing's staging root, the one
// address that is not a web page.
bool OpenLocalFolder(const std::string& path);

// What actually opens an accepted address (QDesktopServices::openUrl unless replaced); returns
// the previous one. Tests put a recorder here so that no browser ever starts.
using UrlOpener = std::function<bool(const QUrl&)>;
UrlOpener SetUrlOpener(UrlOpener opener);

} // namespace brivox
