#pragma once

#include "checksum/Checksum.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brivox {

// A run of bytes described by words: hex bytes ("01", "0D0A"), "text" in quotation marks, a
// checksum by name ("crc16-modbus": the checksum of the bytes before it), and, in a match,
// "??" for any one byte and "*" for any run of bytes; in an answer, "$N" for the Nth matched byte
// (1-based).
class CBytePattern {
public:
    enum class Use { Match, Answer };
    // How bytes stand against a match: they are a whole match, the beginning of one that more
    // bytes could complete, or neither.
    enum class Fit { None, Prefix, Whole };

    static constexpr size_t kMaxCapture = 4096;

    // Error text, empty on success.
    static std::string Parse(std::string_view text, Use use, CBytePattern& pattern);

    Fit Match(const uint8_t* bytes, size_t size) const;
    Fit Match(const std::vector<uint8_t>& bytes) const { return Match(bytes.data(), bytes.size()); }
    // The answer for these matched bytes; a capture beyond them is left out.
    std::vector<uint8_t> Build(const std::vector<uint8_t>& matched) const;

    // The fewest bytes a match takes, and the highest $N an answer takes.
    size_t MinimumSize() const;
    size_t HighestCapture() const;
    bool StartsWithRun() const { return !m_tokens.empty() && m_tokens.front().kind == Kind::Run; }
    bool EndsWithRun() const { return !m_tokens.empty() && m_tokens.back().kind == Kind::Run; }
    bool Empty() const { return m_tokens.empty(); }

private:
    enum class Kind { Byte, AnyByte, Run, Capture, Checksum };
    struct CToken {
        Kind kind = Kind::Byte;
        uint8_t byte = 0;
        size_t capture = 0;
        CChecksum checksum;
    };

    // The fewest bytes these tokens take.
    static size_t SizeOf(std::vector<CToken>::const_iterator from,
                         std::vector<CToken>::const_iterator to);
    std::string AddWord(std::string_view word, Use use);
    Fit MatchFrom(size_t token, const uint8_t* bytes, size_t at, size_t size) const;
    Fit MatchRun(size_t token, const uint8_t* bytes, size_t at, size_t size) const;
    Fit MatchChecksum(size_t token, const uint8_t* bytes, size_t at, size_t size) const;

    std::vector<CToken> m_tokens;
};

} // namespace brivox
