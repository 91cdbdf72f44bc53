#include "options/OptionFileFormat.h"

#include <cstring>
#include <limits>
#include <vector>

namespace brivox {

using namespace option_flags;

namespace {

constexpr uint32_t kShortLengthLimit = 256;

int64_t RecordSize(const COptionValue& value) {
    const int64_t name = std::min(value.name.size(), kMaxStoredNameLength);
    int64_t payload = 0;
    switch (value.kind) {
    case OptionKind::Int:
        return 1 + 1 + name + 4;
    case OptionKind::Text:
        payload = static_cast<int64_t>(value.text.size());
        break;
    case OptionKind::Bytes:
        payload = value.bytes.GetLength();
        break;
    }
    return 1 + 1 + name + (payload < kShortLengthLimit ? 1 : 4) + payload;
}

void AppendLittleEndian32(CByteBuffer& image, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    image.Append(bytes, 4);
}

void AppendName(CByteBuffer& image, const std::string& name) {
    const std::string stored = name.substr(0, kMaxStoredNameLength);
    image.AppendByte(static_cast<uint8_t>(stored.size()));
    image.Append(stored);
}

// Text and bytes records: the short length form below 256 bytes, the 4-byte form from 256 up.
void AppendSizedRecord(CByteBuffer& image, uint8_t kindFlags, const std::string& name,
                       std::string_view payload) {
    const auto length = static_cast<uint32_t>(payload.size());
    const bool longForm = length >= kShortLengthLimit;
    image.AppendByte(longForm ? (kindFlags | kLongLength) : kindFlags);
    AppendName(image, name);
    if (longForm)
        AppendLittleEndian32(image, length);
    else
        image.AppendByte(static_cast<uint8_t>(length));
    image.Append(payload);
}

void AppendRecord(CByteBuffer& image, const COptionValue& value) {
    switch (value.kind) {
    case OptionKind::Int:
        image.AppendByte(kNumeric | kSubKindInt32);
        AppendName(image, value.name);
        AppendLittleEndian32(image, static_cast<uint32_t>(value.integer));
        break;
    case OptionKind::Text:
        AppendSizedRecord(image, kText, value.name, value.text);
        break;
    case OptionKind::Bytes:
        AppendSizedRecord(image, 0, value.name, value.bytes.ToString());
        break;
    }
}

// Walks the records of an image. Each step either applies a record or ends the walk with the
// outcome the format rules give for what was found.
class CRecordReader {
public:
    CRecordReader(const CByteBuffer& image, COptionStore& store, OptionTextEnd textEnd)
        : m_bytes(image.ToVector()), m_store(store), m_textEnd(textEnd) {}

    COptionLoadReport ReadAll() {
        while (m_report.reason.empty() && m_position < m_bytes.size())
            ReadRecord();
        m_report.stopOffset = static_cast<int64_t>(m_position);
        return m_report;
    }

private:
    size_t Remaining() const { return m_bytes.size() - m_position; }

    void End(COptionLoadReport::Outcome outcome, const char* reason) {
        m_report.outcome = outcome;
        m_report.reason = reason;
    }

    uint32_t TakeLittleEndian(size_t size) {
        uint32_t value = 0;
        for (size_t i = 0; i < size; ++i)
            value |= uint32_t{m_bytes[m_position + i]} << (8 * i);
        m_position += size;
        return value;
    }

    void ReadRecord() {
        m_report.recordOffset = static_cast<int64_t>(m_position);
        const uint8_t flags = m_bytes[m_position++];
        std::string name;
        if (!ReadName(flags, name) || !SkipContinuation(flags))
            return;
        if (flags & kNumeric)
            ReadNumeric(flags, name);
        else
            ReadSized(flags, name);
    }

    bool ReadName(uint8_t flags, std::string& name) {
        using Outcome = COptionLoadReport::Outcome;
        if (flags & kNameNumber) {
            if (Remaining() < 2)
                End(Outcome::CutShort, "the file ends inside a name number");
            else
                End(Outcome::Failed, "the name is given as a number, which this program never "
                                     "writes");
            return false;
        }
        if (Remaining() < 1 || Remaining() - 1 < m_bytes[m_position]) {
            End(Outcome::CutShort, "the file ends inside a name");
            return false;
        }
        const size_t length = m_bytes[m_position++];
        if (length == 0) {
            End(Outcome::Failed, "a record has an empty name");
            return false;
        }
        name.assign(reinterpret_cast<const char*>(&m_bytes[m_position]), length);
        m_position += length;
        return true;
    }

    bool SkipContinuation(uint8_t flags) {
        uint8_t last = flags;
        for (int count = 0; last & kContinuation; ++count) {
            if (count == kMaxContinuationBytes) {
                End(COptionLoadReport::Outcome::Failed, "more than 255 continuation bytes");
                return false;
            }
            if (Remaining() == 0) {
                End(COptionLoadReport::Outcome::Failed,
                    "the file ends inside the continuation bytes");
                return false;
            }
            last = m_bytes[m_position++];
        }
        return true;
    }

    void ReadNumeric(uint8_t flags, const std::string& name) {
        switch (flags & kSubKindMask) {
        case kSubKindInt32:
            if (Remaining() < 4)
                End(COptionLoadReport::Outcome::Failed, "the file ends inside an integer value");
            else
                m_store.SetInt(name, static_cast<int32_t>(TakeLittleEndian(4)));
            break;
        case kSubKindInvalid:
            End(COptionLoadReport::Outcome::Failed, "numeric sub-kind 2 is not a valid kind");
            break;
        default:
            break; // reserved numeric kinds 4 and 5 carry no value bytes here; skipped
        }
    }

    void ReadSized(uint8_t flags, const std::string& name) {
        using Outcome = COptionLoadReport::Outcome;
        const bool text = flags & kText;
        const size_t lengthSize = (flags & kLongLength) ? 4 : 1;
        if (Remaining() < lengthSize) {
            End(Outcome::CutShort, "the file ends inside a length field");
            return;
        }
        const uint32_t length = TakeLittleEndian(lengthSize);
        if (Remaining() < length || length > uint32_t{std::numeric_limits<int32_t>::max()}) {
            if (text)
                End(Outcome::CutShort, "the file ends inside a text value");
            else
                End(Outcome::Failed, "the file ends inside a bytes value");
            return;
        }
        const char* payload = reinterpret_cast<const char*>(m_bytes.data() + m_position);
        m_position += length;
        if (text) {
            const size_t kept =
                m_textEnd == OptionTextEnd::Whole ? length : strnlen(payload, length);
            m_store.SetString(name, std::string(payload, kept));
        } else {
            CByteBuffer bytes;
            bytes.Append(payload, static_cast<int32_t>(length));
            m_store.SetBytes(name, bytes);
        }
    }

    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
    COptionStore& m_store;
    const OptionTextEnd m_textEnd;
    COptionLoadReport m_report;
};

} // namespace

bool WriteOptionRecords(const COptionStore::Entries& entries, CByteBuffer& image) {
    int64_t total = 0;
    for (const auto& [name, value] : entries) {
        if (name.empty())
            return false;
        total += RecordSize(*value);
    }
    if (total > std::numeric_limits<int32_t>::max() - image.GetLength())
        return false;
    if (total > image.FreeSpace() &&
        !image.Reserve(image.GetLength() + static_cast<int32_t>(total)))
        return false;
    for (const auto& [name, value] : entries)
        AppendRecord(image, *value);
    return true;
}

COptionLoadReport ReadOptionRecords(const CByteBuffer& image, COptionStore& store,
                                    OptionTextEnd textEnd) {
    return CRecordReader(image, store, textEnd).ReadAll();
}

} // namespace brivox
