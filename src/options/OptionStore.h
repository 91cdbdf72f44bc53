#pragma once

#include "options/OptionValue.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace brivox {

// How a load ended, for callers that report malformed files.
struct COptionLoadReport {
    enum class Outcome {
        Complete,   // every record was read
        CutShort,   // the file ended inside a length field or a text; earlier records were kept
        Failed,     // a record broke the format; earlier records were kept
        Unreadable, // the file could not be read; the store is untouched
        Missing,    // there is no such file; the store is untouched
    };
    Outcome outcome = Outcome::Complete;
    int64_t recordOffset = 0; // where the last record read started
    int64_t stopOffset = 0;   // where reading stopped
    std::string reason;       // empty when complete
    bool Succeeded() const { return outcome == Outcome::Complete || outcome == Outcome::CutShort; }
};

// How a text record is read: up to its first zero byte, as the settings file has it, or whole,
// for files whose texts are the user's own data (the history lists).
enum class OptionTextEnd { FirstZero, Whole };

// Names to a typed value (text, bytes or signed 32-bit integer), with getters that fall back to
// defaults and a compact binary file format. An entry keeps the kind it was created with: a
// setter of another kind writes a slot nobody reads, so callers use the kind they registered.
class COptionStore {
public:
    using NameSet = std::set<std::string>;
    using Entries = std::map<std::string, std::unique_ptr<COptionValue>>;

    COptionStore() = default;
    COptionStore(const COptionStore& other) { CopyFrom(other); }
    COptionStore& operator=(const COptionStore& other) {
        CopyFrom(other);
        return *this;
    }

    void SetInt(const std::string& name, int32_t value);
    void SetString(const std::string& name, const std::string& value);
    void SetBytes(const std::string& name, const CByteBuffer& value);

    // A non-zero separator makes the name a list of alternates, the first one present wins.
    bool TryGetInt(const std::string& name, int32_t& value, char separator = 0) const;
    int32_t GetInt(const std::string& name, int32_t fallback, char separator = 0) const;
    bool TryGetString(const std::string& name, std::string& value, char separator = 0) const;
    std::string GetString(const std::string& name, char separator = 0) const;
    bool TryGetBytes(const std::string& name, CByteBuffer& value) const;

    const COptionValue* Find(const std::string& name) const;
    const Entries& GetEntries() const { return m_entries; }
    bool Remove(const std::string& name);
    void Clear();

    void MergeFrom(const COptionStore& other, const NameSet* include = nullptr,
                   const NameSet* exclude = nullptr);
    void CopyFrom(const COptionStore& other, const NameSet* include = nullptr,
                  const NameSet* exclude = nullptr);

    // The file image of the whole store; false (and nothing) when an entry has an empty name.
    bool Serialize(CByteBuffer& image) const;
    // Reads records into the store; without keep the store is cleared first.
    bool LoadFromImage(const CByteBuffer& image, bool keep, COptionLoadReport* report = nullptr,
                       OptionTextEnd textEnd = OptionTextEnd::FirstZero);

    // Written whole: on failure the previous file stays as it was. With keepReplacedAs, the file
    // replaced is renamed to its name followed by it.
    bool Save(const std::string& path, const std::string& keepReplacedAs = "") const;
    bool Load(const std::string& path, bool keep, COptionLoadReport* report = nullptr,
              OptionTextEnd textEnd = OptionTextEnd::FirstZero);

private:
    COptionValue& EntryFor(const std::string& name, OptionKind kindIfNew);
    const COptionValue* FindAlternate(const std::string& name, char separator) const;

    Entries m_entries;
};

} // namespace brivox
