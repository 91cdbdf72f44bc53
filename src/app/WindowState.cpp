#include "app/WindowState.h"

#include "platform/FileIO.h"
#include "trace/TraceClient.h"
#include "util/Text.h"

#include <algorithm>
#include <array>

namespace brivox {

CWindowStateMap CWindowStateMap::Parse(std::string_view text) {
    CWindowStateMap map;
    for (const std::string& pair : SplitText(text, "&")) {
        const std::vector<std::string> parts = SplitText(pair, "=");
        if (parts.size() == 2)
            map.Set(TrimText(parts[0]), TrimText(parts[1]));
    }
    return map;
}

std::string CWindowStateMap::Serialize() const {
    std::string text;
    for (const auto& [key, value] : m_pairs) {
        if (!text.empty())
            text += '&';
        text += key + "=" + value;
    }
    return text;
}

void CWindowStateMap::Set(const std::string& key, const std::string& value) {
    const auto found = std::find_if(m_pairs.begin(), m_pairs.end(),
                                    [&](const auto& pair) { return pair.first == key; });
    if (found != m_pairs.end())
        found->second = value;
    else
        m_pairs.emplace_back(key, value);
}

const std::string* CWindowStateMap::Find(const std::string& key) const {
    for (const auto& [name, value] : m_pairs) {
        if (name == key)
            return &value;
    }
    return nullptr;
}

void RecordWindowState(const CFrameSnapshot& frame, std::string& text) {
    if (!frame.exists || frame.minimized)
        return;
    CWindowStateMap map = CWindowStateMap::Parse(text);
    map.Set("max", frame.maximized ? "1" : "0");
    if (!frame.maximized) {
        map.Set("x", std::to_string(frame.left));
        map.Set("y", std::to_string(frame.top));
        map.Set("cx", std::to_string(frame.right - frame.left));
        map.Set("cy", std::to_string(frame.bottom - frame.top));
    }
    text = map.Serialize();
}

std::string InitialWindowState(const CFrameCreateRecord& record, bool maximized) {
    std::string text;
    RecordWindowState(
        {true, false, false, record.x, record.y, record.x + record.cx, record.y + record.cy}, text);
    if (maximized)
        RecordWindowState({true, false, true, 0, 0, 0, 0}, text);
    return text;
}

void LoadWindowState(const std::string& path, CFrameCreateRecord& record, bool& maximized,
                     int minimumWidth, int minimumHeight, CScreenSize screen) {
    maximized = false;
    const int width = screen.width;
    const int height = screen.height;
    if (minimumWidth == 0)
        minimumWidth = width / 4;
    if (minimumHeight == 0)
        minimumHeight = height / 4;

    std::string text;
    const bool read = ReadWholeFile(path, text);
    const CWindowStateMap map = CWindowStateMap::Parse(read ? text : "");
    auto valueOf = [&](const char* key) { return ReadLeadingInt(*map.Find(key)); };

    if (map.Find("max") != nullptr && valueOf("max") != 0)
        maximized = record.hasMaximizeBox;

    const std::array<const char*, 5> keys = {"max", "x", "y", "cx", "cy"};
    const bool complete =
        std::all_of(keys.begin(), keys.end(), [&](const char* key) { return map.Find(key); });
    if (read && complete) {
        record.x = std::min(std::max(valueOf("x"), 0), width - minimumWidth);
        record.y = std::min(std::max(valueOf("y"), 0), height - minimumHeight);
        record.cx = std::max(valueOf("cx"), minimumWidth);
        record.cy = std::max(valueOf("cy"), minimumHeight);
    } else {
        record.x = width / 8;
        record.y = height / 8;
        record.cx = 3 * width / 4;
        record.cy = 3 * height / 4;
    }
}

void WriteWindowState(const std::string& path, const std::string& text) {
    switch (WriteWholeFile(path, text)) {
    case FileWriteError::None:
        break;
    case FileWriteError::Folder:
        TraceLine("J92");
        break;
    case FileWriteError::Create:
    case FileWriteError::Write:
    case FileWriteError::NotRegular:
        TraceLine("J22");
        break;
    }
}

} // namespace brivox
