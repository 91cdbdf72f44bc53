#include "rules/BytePattern.h"

#include "util/Text.h"

#include <algorithm>
#include <charconv>

namespace brivox {

namespace {

bool IsHexDigits(std::string_view word) {
    return !word.empty() && word.size() % 2 == 0 &&
           word.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

uint8_t HexByte(std::string_view pair) {
    uint8_t value = 0;
    std::from_chars(pair.data(), pair.data() + 2, value, 16);
    return value;
}

} // namespace

std::string CBytePattern::Parse(std::string_view text, Use use, CBytePattern& pattern) {
    pattern.m_tokens.clear();
    std::vector<CWord> words;
    if (std::string error = SplitWords(text, words); !error.empty())
        return error;
    for (const CWord& word : words) {
        if (word.quoted && word.text.empty())
            return "\"\" holds no text";
        if (!word.quoted) {
            if (std::string error = pattern.AddWord(word.text, use); !error.empty())
                return error;
            continue;
        }
        for (const char c : word.text)
            pattern.m_tokens.push_back({Kind::Byte, static_cast<uint8_t>(c), 0, {}});
    }
    if (pattern.m_tokens.empty())
        return "no bytes given";
    return "";
}

std::string CBytePattern::AddWord(std::string_view word, Use use) {
    const bool match = use == Use::Match;
    if (IsHexDigits(word)) {
        for (size_t i = 0; i < word.size(); i += 2)
            m_tokens.push_back({Kind::Byte, HexByte(word.substr(i, 2)), 0, {}});
        return "";
    }
    if (word == "??" || word == "*") {
        if (!match)
            return std::string(word) + " goes in a match, not in an answer (take $N)";
        if (word == "*" && !m_tokens.empty() && m_tokens.back().kind == Kind::Run)
            return "* * is one run: give * once";
        m_tokens.push_back({word == "*" ? Kind::Run : Kind::AnyByte, 0, 0, {}});
        return "";
    }
    if (word.front() == '$') {
        size_t n = 0;
        const char* last = word.data() + word.size();
        const auto [stop, error] = std::from_chars(word.data() + 1, last, n);
        if (match)
            return std::string(word) + " goes in an answer, not in a match (take ?\?)";
        if (error != std::errc() || stop != last || n == 0 || n > kMaxCapture)
            return std::string(word) + ": give $1 to $" + std::to_string(kMaxCapture);
        m_tokens.push_back({Kind::Capture, 0, n, {}});
        return "";
    }
    CChecksum checksum = CChecksum::ByName(std::string(word));
    if (!checksum.Valid())
        return "\"" + std::string(word) +
               "\" is no hex byte, \"text\", ??, *, $N or checksum name (" + checksum.Error() + ")";
    m_tokens.push_back({Kind::Checksum, 0, 0, std::move(checksum)});
    return "";
}

CBytePattern::Fit CBytePattern::Match(const uint8_t* bytes, size_t size) const {
    return MatchFrom(0, bytes, 0, size);
}

// Tokens from `token` on against bytes from `at`; a run tries every length, shortest first.
CBytePattern::Fit CBytePattern::MatchFrom(size_t token, const uint8_t* bytes, size_t at,
                                          size_t size) const {
    for (; token < m_tokens.size(); ++token) {
        const CToken& t = m_tokens[token];
        if (t.kind == Kind::Run)
            return MatchRun(token, bytes, at, size);
        if (t.kind == Kind::Checksum)
            return MatchChecksum(token, bytes, at, size);
        if (at == size)
            return Fit::Prefix;
        if (t.kind == Kind::Byte && bytes[at] != t.byte)
            return Fit::None;
        ++at;
    }
    return at == size ? Fit::Whole : Fit::None;
}

// A run may go on past the bytes there are, so it is always a beginning. After the last run the
// rest has a fixed length and must end with the bytes: one place to try, whatever the run's
// length, so that a long run costs no more than a short one.
CBytePattern::Fit CBytePattern::MatchRun(size_t token, const uint8_t* bytes, size_t at,
                                         size_t size) const {
    const auto rest = m_tokens.begin() + static_cast<std::ptrdiff_t>(token) + 1;
    if (std::none_of(rest, m_tokens.end(), [](const CToken& t) { return t.kind == Kind::Run; })) {
        const size_t tail = SizeOf(rest, m_tokens.end());
        if (size - at < tail || MatchFrom(token + 1, bytes, size - tail, size) != Fit::Whole)
            return Fit::Prefix;
        return Fit::Whole;
    }
    for (size_t skip = at; skip <= size; ++skip)
        if (MatchFrom(token + 1, bytes, skip, size) == Fit::Whole)
            return Fit::Whole;
    return Fit::Prefix;
}

// A checksum covers every byte of the match before it.
CBytePattern::Fit CBytePattern::MatchChecksum(size_t token, const uint8_t* bytes, size_t at,
                                              size_t size) const {
    const std::vector<uint8_t> sum = m_tokens[token].checksum.Bytes(bytes, at);
    const size_t there = std::min(sum.size(), size - at);
    if (!std::equal(sum.begin(), sum.begin() + static_cast<std::ptrdiff_t>(there), bytes + at))
        return Fit::None;
    if (there < sum.size())
        return Fit::Prefix;
    return MatchFrom(token + 1, bytes, at + sum.size(), size);
}

std::vector<uint8_t> CBytePattern::Build(const std::vector<uint8_t>& matched) const {
    std::vector<uint8_t> answer;
    for (const CToken& t : m_tokens) {
        if (t.kind == Kind::Byte)
            answer.push_back(t.byte);
        else if (t.kind == Kind::Capture && t.capture <= matched.size())
            answer.push_back(matched[t.capture - 1]);
        else if (t.kind == Kind::Checksum) {
            const std::vector<uint8_t> sum = t.checksum.Bytes(answer.data(), answer.size());
            answer.insert(answer.end(), sum.begin(), sum.end());
        }
    }
    return answer;
}

size_t CBytePattern::SizeOf(std::vector<CToken>::const_iterator from,
                            std::vector<CToken>::const_iterator to) {
    size_t size = 0;
    for (; from != to; ++from)
        size += from->kind == Kind::Run        ? 0
                : from->kind == Kind::Checksum ? from->checksum.Size()
                                               : 1;
    return size;
}

size_t CBytePattern::MinimumSize() const {
    return SizeOf(m_tokens.begin(), m_tokens.end());
}

size_t CBytePattern::HighestCapture() const {
    size_t highest = 0;
    for (const CToken& t : m_tokens)
        highest = std::max(highest, t.kind == Kind::Capture ? t.capture : 0);
    return highest;
}

} // namespace brivox
