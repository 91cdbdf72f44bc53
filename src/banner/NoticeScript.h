#pragma once

#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brivox {

inline constexpr char kNoticeScriptPrefix[] = "gntiscript:";

// One notice of a banner script.
class CNoticeItem {
public:
    virtual ~CNoticeItem() = default;

    std::string text;      // shown, tags removed
    std::string link;      // opened on a click; empty: nothing is opened
    std::string reportUrl; // told of a click; empty: no report
    std::string itemId;    // sent with the click report
    int seconds = 60;      // share of each cycle; 0 or no digits give 60
    int index = -1;        // position in the script, from 0
};

using CNoticeItems = std::vector<std::unique_ptr<CNoticeItem>>;

// The items of a script that starts with the prefix; nothing when it does not. Pieces between
// "___" and fields between "|" are kept even when empty; an empty remainder gives no items.
std::optional<CNoticeItems> ParseNoticeScript(const std::string& script);

// The text with every "<...>" removed; an unclosed "<" removes the rest.
std::string RemoveTags(const std::string& text);

// A decimal integer the way atoi reads one: leading blanks, a sign, the digits up to the first
// other character; 0 without digits.
int ReadLeadingDecimal(const std::string& text);

// The item that shows at this many seconds after local midnight: the cycle is the sum of the
// items' seconds, and a moment on the boundary still belongs to the item that ends there.
const CNoticeItem* PickNotice(const CNoticeItems& items, long secondsSinceMidnight);

// Seconds from this one to the first at which another item (or none) shows, midnight included;
// the limit when the item still shows then.
long SecondsUntilNoticeChanges(const CNoticeItems& items, long secondsSinceMidnight, long limit);

// A local time as 14 digits, YYYYMMDDHHMMSS.
std::string RequestTimeText(const std::tm& local);

// Whether a banner asks the server for a script: when no request time is stored, when the
// developer marker exists, when the stored time is not 14 digits, or when 24 whole hours have
// passed since it (a time in the future counts as recent).
bool ScriptRequestDue(const std::string& storedTime, std::time_t now, bool developerMarker);

// The request for a fresh script and the report of a click, values as they stand.
std::string ScriptRequestUrl(const std::string& scriptUrl, const std::string& barId,
                             const std::string& languageCode, int version);
std::string ClickReportUrl(const CNoticeItem& item, const std::string& barId,
                           const std::string& languageCode, int version);

// Where banners ask for their script: the maker's site unless tests point it elsewhere.
std::string NoticeScriptUrl();
void SetNoticeServerOrigin(const std::string& origin);

} // namespace brivox
