#include "capture/CaptureFile.h"

#include "capture/PcapngCapture.h"
#include "serial/CaptureLog.h"

#include <algorithm>

namespace brivox {

bool IsPcapngPath(const std::string& path) {
    constexpr std::string_view kExtension = ".pcapng";
    if (path.size() <= kExtension.size())
        return false;
    const std::string_view end = std::string_view(path).substr(path.size() - kExtension.size());
    return std::equal(end.begin(), end.end(), kExtension.begin(),
                      [](char a, char b) { return std::tolower(a) == b; });
}

std::string OpenCaptures(const std::string& path, const std::vector<std::string>& ports,
                         std::vector<std::shared_ptr<CCaptureSink>>& sinks) {
    sinks.clear();
    if (!IsPcapngPath(path)) {
        if (ports.size() != 1)
            return "a text capture takes one port; give several a capture ending in .pcapng";
        auto log = std::make_shared<CCaptureLog>();
        if (std::string error = log->Open(path); !error.empty())
            return error;
        sinks.push_back(std::move(log));
        return "";
    }
    auto writer = std::make_shared<CPcapngWriter>();
    if (std::string error = writer->Open(path); !error.empty())
        return "Cannot write " + error;
    for (const std::string& port : ports)
        sinks.push_back(std::make_shared<CPcapngCapture>(writer, port));
    return "";
}

} // namespace brivox
