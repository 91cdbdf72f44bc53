#include "options/OptionStore.h"

#include "options/OptionFileFormat.h"
#include "platform/FileIO.h"
#include "util/Text.h"

#include <unistd.h>

namespace brivox {

COptionValue& COptionStore::EntryFor(const std::string& name, OptionKind kindIfNew) {
    auto& slot = m_entries[name];
    if (!slot) {
        slot = std::make_unique<COptionValue>();
        slot->name = name;
        slot->kind = kindIfNew;
    }
    return *slot;
}

void COptionStore::SetInt(const std::string& name, int32_t value) {
    EntryFor(name, OptionKind::Int).integer = value;
}

void COptionStore::SetString(const std::string& name, const std::string& value) {
    EntryFor(name, OptionKind::Text).text = value;
}

void COptionStore::SetBytes(const std::string& name, const CByteBuffer& value) {
    EntryFor(name, OptionKind::Bytes).bytes = value;
}

const COptionValue* COptionStore::Find(const std::string& name) const {
    const auto found = m_entries.find(name);
    return found == m_entries.end() ? nullptr : found->second.get();
}

const COptionValue* COptionStore::FindAlternate(const std::string& name, char separator) const {
    if (separator == 0)
        return Find(name);
    for (const std::string& piece : SplitText(name, std::string(1, separator))) {
        if (const COptionValue* value = Find(piece))
            return value;
    }
    return nullptr;
}

bool COptionStore::TryGetInt(const std::string& name, int32_t& value, char separator) const {
    const COptionValue* entry = FindAlternate(name, separator);
    if (entry == nullptr || entry->kind == OptionKind::Bytes)
        return false;
    value = entry->kind == OptionKind::Int ? entry->integer : ReadLeadingInt(entry->text);
    return true;
}

int32_t COptionStore::GetInt(const std::string& name, int32_t fallback, char separator) const {
    int32_t value = 0;
    return TryGetInt(name, value, separator) ? value : fallback;
}

bool COptionStore::TryGetString(const std::string& name, std::string& value, char separator) const {
    value.clear();
    const COptionValue* entry = FindAlternate(name, separator);
    if (entry == nullptr || entry->kind == OptionKind::Bytes)
        return false;
    value = entry->kind == OptionKind::Text ? entry->text : std::to_string(entry->integer);
    return true;
}

std::string COptionStore::GetString(const std::string& name, char separator) const {
    std::string value;
    TryGetString(name, value, separator);
    return value;
}

bool COptionStore::TryGetBytes(const std::string& name, CByteBuffer& value) const {
    const COptionValue* entry = Find(name);
    if (entry == nullptr || entry->kind != OptionKind::Bytes)
        return false;
    value = entry->bytes;
    return true;
}

bool COptionStore::Remove(const std::string& name) {
    return m_entries.erase(name) > 0;
}

void COptionStore::Clear() {
    m_entries.clear();
}

void COptionStore::MergeFrom(const COptionStore& other, const NameSet* include,
                             const NameSet* exclude) {
    if (&other == this)
        return;
    for (const auto& [name, value] : other.m_entries) {
        if (include != nullptr && !include->contains(name))
            continue;
        if (exclude != nullptr && exclude->contains(name))
            continue;
        m_entries[name] = std::make_unique<COptionValue>(value->CopyOfKind());
    }
}

void COptionStore::CopyFrom(const COptionStore& other, const NameSet* include,
                            const NameSet* exclude) {
    if (&other == this)
        return;
    Clear();
    MergeFrom(other, include, exclude);
}

bool COptionStore::Serialize(CByteBuffer& image) const {
    return WriteOptionRecords(m_entries, image);
}

bool COptionStore::LoadFromImage(const CByteBuffer& image, bool keep, COptionLoadReport* report,
                                 OptionTextEnd textEnd) {
    if (!keep)
        Clear();
    const COptionLoadReport result = ReadOptionRecords(image, *this, textEnd);
    if (report != nullptr)
        *report = result;
    return result.Succeeded();
}

bool COptionStore::Save(const std::string& path, const std::string& keepReplacedAs) const {
    CByteBuffer image;
    return Serialize(image) && image.SaveToFile(path, keepReplacedAs);
}

bool COptionStore::Load(const std::string& path, bool keep, COptionLoadReport* report,
                        OptionTextEnd textEnd) {
    CByteBuffer image;
    FileReadError error;
    const int fd = OpenRegularFile(path, kMaxWholeFileSize, error);
    if (fd >= 0 && !image.ReadFrom(fd))
        error = FileReadError::Unreadable;
    if (fd >= 0)
        close(fd);
    if (error != FileReadError::None) {
        if (report != nullptr) {
            using Outcome = COptionLoadReport::Outcome;
            *report = {};
            report->outcome =
                error == FileReadError::Missing ? Outcome::Missing : Outcome::Unreadable;
            report->reason = FileReadErrorText(error);
        }
        return false;
    }
    return LoadFromImage(image, keep, report, textEnd);
}

} // namespace brivox
