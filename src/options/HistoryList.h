#pragma once

#include "options/SettingsFile.h"

#include <string>
#include <vector>

namespace brivox {

// The texts sent in one input mode, newest first below the pinned ones, kept in the settings
// folder as history<index>.asg: an option-store file with "Cnt" and the entries "0", "1", ...
class CHistoryList {
public:
    static constexpr int kMaxEntries = 100;
    // An entry that begins with it is pinned; the rest of it is the text to send.
    static constexpr char kPinPrefix[] = "[mem]";

    explicit CHistoryList(int index = 0);

    int Index() const { return m_index; }
    // Names the list's file; set once, at start-up.
    void SetIndex(int index);
    const std::vector<std::string>& Entries() const { return m_entries; }
    int Count() const { return static_cast<int>(m_entries.size()); }

    // A text already in the list, pinned or not, adds nothing and moves nothing, and neither does
    // an empty one (the MODBUS and file modes send with an empty input box). A new one goes right
    // below the pinned entries; beyond the cap the bottom entries drop out, pinned or not. True
    // when the text was added and is in the list afterwards.
    bool AddToHistory(const std::string& text);
    // "Memory": the entry, unless already pinned, moves to the top with the prefix.
    bool Pin(int position);
    bool Remove(int position);
    void RemoveAll();

    // Written whole; false when the file could not be written, which leaves it as it was.
    bool SaveHistory();
    // A file that cannot be read or breaks the format leaves the list as it is.
    bool LoadHistory();
    const std::string& FilePath() const { return m_file.Path(); }

    static bool IsPinned(const std::string& entry);
    // The entry as it goes into the input box.
    static std::string TextOf(const std::string& entry);

private:
    int m_index;
    std::vector<std::string> m_entries;
    CSettingsFile m_file;
};

// The History window's buttons for a selection (-1 for none) in a list.
struct CHistoryButtons {
    bool remove = false;    // "Delete"
    bool pin = false;       // "Memory"
    bool removeAll = false; // "Delete All"
};
CHistoryButtons HistoryButtonStates(const std::vector<std::string>& entries, int selected);

} // namespace brivox
