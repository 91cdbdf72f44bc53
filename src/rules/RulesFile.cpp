#include "rules/RulesFile.h"

#include "platform/FileIO.h"
#include "util/LineByLine.h"
#include "util/Text.h"

#include <algorithm>
#include <charconv>

namespace brivox {

namespace {

constexpr int64_t kMaxRulesFile = int64_t{1} << 20;

// The text before a "#" that is not inside quotation marks.
std::string_view WithoutComment(std::string_view line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == '#' && !quoted)
            return line.substr(0, i);
    }
    return line;
}

class CRulesReader {
public:
    explicit CRulesReader(std::vector<CRule>& rules) : m_rules(rules) {}

    std::string Line(std::string_view line);
    std::string End();
    int ErrorLine() const { return m_errorLine; }

private:
    std::string Start(const std::string& name);
    std::string Pattern(const std::string& word, const std::string& text);
    std::string Number(const std::string& word, const std::string& text);
    std::string Mark(const std::string& text);
    // A rule that is complete and whose parts fit together.
    std::string CheckRule();
    bool Once(const std::string& word);

    std::vector<CRule>& m_rules;
    std::vector<std::string> m_seen; // the words of the current rule so far
    int m_line = 0;
    int m_errorLine = 0;
};

std::string CRulesReader::Line(std::string_view line) {
    m_errorLine = ++m_line;
    const std::string text = TrimText(WithoutComment(line));
    if (text.empty())
        return "";
    const size_t wordEnd = std::min(text.find_first_of(" \t"), text.size());
    const std::string word = text.substr(0, wordEnd);
    const std::string rest = TrimText(std::string_view(text).substr(wordEnd));
    if (word == "rule")
        return Start(rest);
    if (m_rules.empty())
        return "\"" + word + "\" outside a rule (start one with: rule NAME)";
    if (!Once(word))
        return "a rule holds one " + word + " line";
    if (word == "match" || word == "answer")
        return Pattern(word, rest);
    if (word == "delay" || word == "count" || word == "gap")
        return Number(word, rest);
    if (word == "mark")
        return Mark(rest);
    return "unknown line \"" + word + "\" (give rule, match, answer, delay, count, gap or mark)";
}

bool CRulesReader::Once(const std::string& word) {
    if (std::find(m_seen.begin(), m_seen.end(), word) != m_seen.end())
        return false;
    m_seen.push_back(word);
    return true;
}

std::string CRulesReader::Start(const std::string& name) {
    if (std::string error = CheckRule(); !error.empty())
        return error;
    if (name.empty() || name.find_first_of(" \t") != std::string::npos)
        return "a rule needs a name of one word: rule NAME";
    if (std::any_of(m_rules.begin(), m_rules.end(), [&](const CRule& r) { return r.name == name; }))
        return "a second rule named " + name;
    m_rules.push_back({});
    m_rules.back().name = name;
    m_rules.back().line = m_line;
    m_seen.clear();
    return "";
}

std::string CRulesReader::Pattern(const std::string& word, const std::string& text) {
    CRule& rule = m_rules.back();
    const bool match = word == "match";
    CBytePattern& pattern = match ? rule.match : rule.answer;
    const std::string error = CBytePattern::Parse(
        text, match ? CBytePattern::Use::Match : CBytePattern::Use::Answer, pattern);
    return error.empty() ? "" : word + ": " + error;
}

std::string CRulesReader::Number(const std::string& word, const std::string& text) {
    CRule& rule = m_rules.back();
    int* value = word == "delay" ? &rule.delayMs : word == "count" ? &rule.count : &rule.gapMs;
    const int low = word == "delay" ? 0 : 1;
    const int high = word == "delay"   ? CRule::kMaxDelayMs
                     : word == "count" ? CRule::kMaxCount
                                       : CRule::kMaxGapMs;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, *value);
    if (text.empty() || error != std::errc() || stop != end || *value < low || *value > high)
        return word + " " + text + ": give a whole number from " + std::to_string(low) + " to " +
               std::to_string(high);
    return "";
}

std::string CRulesReader::Mark(const std::string& text) {
    if (text.size() < 3 || text.front() != '"' || text.back() != '"' ||
        text.find('"', 1) != text.size() - 1)
        return "give the mark as one \"text\" in quotation marks";
    m_rules.back().mark = text.substr(1, text.size() - 2);
    return "";
}

std::string CRulesReader::CheckRule() {
    if (m_rules.empty())
        return "";
    const CRule& rule = m_rules.back();
    const std::string error = rule.match.Empty() ? "has no match line"
                              : rule.answer.Empty() && rule.mark.empty()
                                  ? "neither answers nor marks: give answer or mark"
                              : rule.gapMs == 0 && rule.match.StartsWithRun()
                                  ? "begins its match with *, which matches anywhere already"
                              : rule.gapMs == 0 && rule.match.EndsWithRun()
                                  ? "ends its match with *, which would match before the run: "
                                    "end with bytes, or give gap MS"
                              : rule.answer.HighestCapture() > rule.match.MinimumSize()
                                  ? "answers $" + std::to_string(rule.answer.HighestCapture()) +
                                        ", but its match may take only " +
                                        std::to_string(rule.match.MinimumSize()) + " bytes"
                                  : "";
    if (error.empty())
        return "";
    m_errorLine = rule.line;
    return "rule " + rule.name + " " + error;
}

std::string CRulesReader::End() {
    if (std::string error = CheckRule(); !error.empty())
        return error;
    if (!m_rules.empty())
        return "";
    m_errorLine = 0;
    return "the file holds no rule (start one with: rule NAME)";
}

} // namespace

std::string ParseRules(std::string_view text, std::vector<CRule>& rules) {
    rules.clear();
    CRulesReader reader(rules);
    return ReadLineByLine(text, reader);
}

std::string LoadRules(const std::string& path, std::vector<CRule>& rules) {
    std::string text;
    std::string error = ReadTextFile(path, kMaxRulesFile, text);
    if (error.empty())
        error = ParseRules(text, rules);
    return error.empty() ? "" : path + ": " + error;
}

} // namespace brivox
