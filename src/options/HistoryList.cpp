#include "options/HistoryList.h"

#include "platform/Paths.h"

#include <algorithm>
#include <map>

namespace brivox {

namespace {

constexpr char kCountName[] = "Cnt";

CSettingsFile HistoryFile(int index) {
    return CSettingsFile(SettingsPath("history" + std::to_string(index) + ".asg"),
                         OptionTextEnd::Whole);
}

// The position a name gives an entry ("0", "1", ... without leading zeros), or -1.
int EntryPosition(const std::string& name) {
    if (name.empty() || name.size() > 9 ||
        name.find_first_not_of("0123456789") != std::string::npos ||
        (name.size() > 1 && name[0] == '0'))
        return -1;
    return std::stoi(name);
}

} // namespace

CHistoryList::CHistoryList(int index) : m_index(index), m_file(HistoryFile(index)) {}

void CHistoryList::SetIndex(int index) {
    m_index = index;
    m_file = HistoryFile(index);
}

bool CHistoryList::IsPinned(const std::string& entry) {
    return entry.starts_with(kPinPrefix);
}

std::string CHistoryList::TextOf(const std::string& entry) {
    return IsPinned(entry) ? entry.substr(sizeof(kPinPrefix) - 1) : entry;
}

bool CHistoryList::AddToHistory(const std::string& text) {
    if (text.empty())
        return false;
    size_t belowPins = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (IsPinned(m_entries[i]))
            belowPins = i + 1;
        if (TextOf(m_entries[i]) == text)
            return false;
    }
    m_entries.insert(m_entries.begin() + static_cast<std::ptrdiff_t>(belowPins), text);
    if (m_entries.size() > kMaxEntries)
        m_entries.resize(kMaxEntries);
    // Below a full list of pins the new text drops out at once.
    return belowPins < kMaxEntries;
}

bool CHistoryList::Pin(int position) {
    if (position < 0 || position >= Count() || IsPinned(m_entries[position]))
        return false;
    const std::string pinned = kPinPrefix + m_entries[position];
    m_entries.erase(m_entries.begin() + position);
    m_entries.insert(m_entries.begin(), pinned);
    return true;
}

bool CHistoryList::Remove(int position) {
    if (position < 0 || position >= Count())
        return false;
    m_entries.erase(m_entries.begin() + position);
    return true;
}

void CHistoryList::RemoveAll() {
    m_entries.clear();
}

bool CHistoryList::SaveHistory() {
    COptionStore store;
    store.SetInt(kCountName, Count());
    for (int i = 0; i < Count(); ++i)
        store.SetString(std::to_string(i), m_entries[i]);
    return m_file.Save(store);
}

// The entries present are loaded in the order of their names, whatever the count says. A file
// whose count disagrees with them (missing, negative, a text, too large), that holds other
// names or more than the list keeps, is damaged: it is kept beside at the first save, so that
// no entry the list cannot hold is lost without a trace.
bool CHistoryList::LoadHistory() {
    COptionStore store;
    if (!m_file.Load(store).Succeeded())
        return false;
    std::map<int, std::string> present;
    bool strayNames = false;
    for (const auto& [name, value] : store.GetEntries()) {
        const int position = EntryPosition(name);
        if (position >= 0 && value->kind == OptionKind::Text)
            present[position] = value->text;
        else
            strayNames = strayNames || name != kCountName;
    }
    const int found = static_cast<int>(present.size());
    const COptionValue* count = store.Find(kCountName);
    const bool consecutive = present.empty() || present.rbegin()->first + 1 == found;
    if (count == nullptr || count->kind != OptionKind::Int || count->integer != found ||
        !consecutive || strayNames || found > kMaxEntries)
        m_file.KeepAsideAtNextSave();
    m_entries.clear();
    for (const auto& entry : present) {
        if (Count() == kMaxEntries)
            break;
        m_entries.push_back(entry.second);
    }
    return true;
}

CHistoryButtons HistoryButtonStates(const std::vector<std::string>& entries, int selected) {
    const bool chosen = selected >= 0 && selected < static_cast<int>(entries.size());
    return {chosen, chosen && !CHistoryList::IsPinned(entries[selected]), !entries.empty()};
}

} // namespace brivox
