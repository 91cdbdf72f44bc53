#include "banner/NoticeScript.h"

#include "banner/DefaultBannerScript.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace brivox {

namespace {

constexpr int kDefaultSeconds = 60;
constexpr int kFieldCount = 10;
constexpr long kRequestPeriodHours = 24;
constexpr char kScriptPath[] = "/banner/brivox/gntitem/get_gntiscript.php";

// Every piece between separators, empty ones too; nothing at all for an empty text.
std::vector<std::string> SplitKeepingEmpty(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    if (text.empty())
        return pieces;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, start)) {
        pieces.push_back(text.substr(start, at - start));
        start = at + separator.size();
    }
    pieces.push_back(text.substr(start));
    return pieces;
}

std::unique_ptr<CNoticeItem> MakeItem(const std::string& piece, int index) {
    std::vector<std::string> fields = SplitKeepingEmpty(piece, "|");
    fields.resize(std::max<size_t>(fields.size(), kFieldCount));
    auto item = std::make_unique<CNoticeItem>();
    item->text = RemoveTags(fields[0]);
    item->link = fields[1];
    const int seconds = ReadLeadingDecimal(fields[2]);
    item->seconds = seconds == 0 ? kDefaultSeconds : seconds;
    item->itemId = fields[3];
    item->reportUrl = fields[4];
    item->index = index;
    return item;
}

// The scheme and host of a URL, without the path.
std::string Origin(const std::string& url) {
    const size_t host = url.find("://");
    const size_t path = url.find('/', host == std::string::npos ? 0 : host + 3);
    return path == std::string::npos ? url : url.substr(0, path);
}

std::mutex g_originMutex;
std::string g_origin = Origin(kMakerHomePage);

} // namespace

std::optional<CNoticeItems> ParseNoticeScript(const std::string& script) {
    if (script.rfind(kNoticeScriptPrefix, 0) != 0)
        return std::nullopt;
    const std::vector<std::string> pieces =
        SplitKeepingEmpty(script.substr(sizeof kNoticeScriptPrefix - 1), "___");
    CNoticeItems items;
    for (size_t i = 0; i < pieces.size(); ++i)
        items.push_back(MakeItem(pieces[i], static_cast<int>(i)));
    return items;
}

std::string RemoveTags(const std::string& text) {
    std::string shown;
    for (size_t at = 0; at < text.size();) {
        const size_t open = text.find('<', at);
        shown.append(text, at, open == std::string::npos ? std::string::npos : open - at);
        if (open == std::string::npos)
            break;
        const size_t close = text.find('>', open);
        if (close == std::string::npos)
            break;
        at = close + 1;
    }
    return shown;
}

int ReadLeadingDecimal(const std::string& text) {
    return std::atoi(text.c_str());
}

const CNoticeItem* PickNotice(const CNoticeItems& items, long secondsSinceMidnight) {
    long total = 0;
    for (const auto& item : items)
        total += item->seconds;
    if (total <= 0)
        return nullptr;
    const long r = ((secondsSinceMidnight % total) + total) % total;
    long sum = 0;
    for (const auto& item : items) {
        sum += item->seconds;
        if (r <= sum)
            return item.get();
    }
    return nullptr;
}

// Stepped second by second: a cycle may hold items of any sign, and the day ends mid-cycle.
long SecondsUntilNoticeChanges(const CNoticeItems& items, long secondsSinceMidnight, long limit) {
    constexpr long kSecondsPerDay = 24 * 3600L;
    const CNoticeItem* shown = PickNotice(items, secondsSinceMidnight);
    for (long ahead = 1; ahead < limit; ++ahead)
        if (PickNotice(items, (secondsSinceMidnight + ahead) % kSecondsPerDay) != shown)
            return ahead;
    return limit;
}

std::string RequestTimeText(const std::tm& local) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

bool ScriptRequestDue(const std::string& storedTime, std::time_t now, bool developerMarker) {
    if (storedTime.empty() || developerMarker)
        return true;
    if (storedTime.size() != 14 ||
        !std::all_of(storedTime.begin(), storedTime.end(),
                     [](unsigned char c) { return std::isdigit(c) != 0; }))
        return true;
    std::tm stored{};
    auto field = [&](size_t at, size_t length) {
        return std::atoi(storedTime.substr(at, length).c_str());
    };
    stored.tm_year = field(0, 4) - 1900;
    stored.tm_mon = field(4, 2) - 1;
    stored.tm_mday = field(6, 2);
    stored.tm_hour = field(8, 2);
    stored.tm_min = field(10, 2);
    stored.tm_sec = field(12, 2);
    stored.tm_isdst = -1;
    const std::time_t then = std::mktime(&stored);
    if (then == static_cast<std::time_t>(-1))
        return true;
    const long hours = static_cast<long>(std::difftime(now, then)) / 3600;
    return hours >= kRequestPeriodHours;
}

std::string ScriptRequestUrl(const std::string& scriptUrl, const std::string& barId,
                             const std::string& languageCode, int version) {
    return scriptUrl + "?ntbid=" + barId + "&ntlang=" + languageCode +
           "&efversion=" + std::to_string(version);
}

std::string ClickReportUrl(const CNoticeItem& item, const std::string& barId,
                           const std::string& languageCode, int version) {
    return item.reportUrl + "?ntid=" + item.itemId + "&ntbid=" + barId +
           "&ntiindex=" + std::to_string(item.index) + "&ntlang=" + languageCode +
           "&efversion=" + std::to_string(version);
}

std::string NoticeScriptUrl() {
    const std::lock_guard lock(g_originMutex);
    return g_origin + kScriptPath;
}

void SetNoticeServerOrigin(const std::string& origin) {
    const std::lock_guard lock(g_originMutex);
    g_origin = origin;
}

} // namespace brivox
