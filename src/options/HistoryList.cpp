#include "options/HistoryList.h"

#include "platform/Paths.h"

#include <algorithm>

namespace brivox {

namespace {

constexpr char kCountName[] = "Cnt";

std::string HistoryFilePath(int index) {
    return SettingsPath("history" + std::to_string(index) + ".asg");
}

} // namespace

CHistoryList::CHistoryList(int index) : m_index(index), m_file(HistoryFilePath(index)) {}

void CHistoryList::SetIndex(int index) {
    m_index = index;
    m_file = CSettingsFile(HistoryFilePath(index));
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

// Names missing below the count read as empty texts. A count beyond what the list ever holds
// is a damaged file, never a reason to fill memory.
bool CHistoryList::LoadHistory() {
    COptionStore store;
    if (!m_file.Load(store).Succeeded())
        return false;
    const int count = std::clamp<int32_t>(store.GetInt(kCountName, 0), 0, kMaxEntries);
    m_entries.clear();
    for (int i = 0; i < count; ++i)
        m_entries.push_back(store.GetString(std::to_string(i)));
    return true;
}

CHistoryButtons HistoryButtonStates(const std::vector<std::string>& entries, int selected) {
    const bool chosen = selected >= 0 && selected < static_cast<int>(entries.size());
    return {chosen, chosen && !CHistoryList::IsPinned(entries[selected]), !entries.empty()};
}

} // namespace brivox
