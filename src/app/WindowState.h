#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brivox {

inline constexpr char kWindowStateFileName[] = "xyt_wnds_state.dat";

// The key=value pairs of the window-state text, in the order the keys first appeared.
class CWindowStateMap {
public:
    static CWindowStateMap Parse(std::string_view text);
    std::string Serialize() const;

    void Set(const std::string& key, const std::string& value);
    const std::string* Find(const std::string& key) const;

private:
    std::vector<std::pair<std::string, std::string>> m_pairs;
};

struct CScreenSize {
    int width = 0;
    int height = 0;
};

// What the frame looks like right now, as the window system reports it.
struct CFrameSnapshot {
    bool exists = false;
    bool minimized = false;
    bool maximized = false;
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// The placement the frame is created with.
struct CFrameCreateRecord {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    bool hasMaximizeBox = true;
};

// Updates the text after a move or size. A minimised frame records nothing; a maximised one
// records only max=1 and keeps the last normal position and size.
void RecordWindowState(const CFrameSnapshot& frame, std::string& text);

// The text a frame starts with: its creation placement, so that a frame that never shows normal
// still keeps where it belongs.
std::string InitialWindowState(const CFrameCreateRecord& record, bool maximized);

// Placement from the file, clamped to the screen; a minimum of 0 means a quarter of the screen.
void LoadWindowState(const std::string& path, CFrameCreateRecord& record, bool& maximized,
                     int minimumWidth, int minimumHeight, CScreenSize screen);

// Written whole; failures go to the trace ("J92" folder, "J22" file), never to the user.
void WriteWindowState(const std::string& path, const std::string& text);

} // namespace brivox
