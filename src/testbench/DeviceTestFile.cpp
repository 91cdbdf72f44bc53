#include "testbench/DeviceTestFile.h"

#include "modbus/ModbusFields.h"
#include "modbus/ModbusFrame.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "script/InputMode.h"
#include "script/JPScript.h"
#include "util/LineByLine.h"
#include "util/Text.h"

#include <algorithm>
#include <charconv>

namespace brivox {

namespace {

using Bytes = std::vector<uint8_t>;

// A whole decimal number in [low, high].
bool NumberIn(const std::string& text, int low, int high, int& value) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && stop == end && value >= low && value <= high;
}

bool IsHex(const std::string& text, size_t digits) {
    return text.size() == digits &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
}

// The words' texts, quotation marks taken off.
std::string SplitWordTexts(std::string_view text, std::vector<std::string>& texts) {
    std::vector<CWord> words;
    const std::string error = SplitWords(text, words);
    for (CWord& word : words)
        texts.push_back(std::move(word.text));
    return error;
}

// "--name value" or "--name=value" pairs of MODBUS fields.
std::string ReadFields(const std::vector<std::string>& words, CModbusFieldValues& values) {
    const std::vector<std::string>& names = ModbusFieldNames();
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t equals = words[i].find('=');
        const std::string name = words[i].substr(0, equals);
        if (std::find(names.begin(), names.end(), name) == names.end())
            return "unknown MODBUS field " + name + " (give " + kModbusFieldsUsage + ")";
        if (equals != std::string::npos)
            values[name] = words[i].substr(equals + 1);
        else if (i + 1 < words.size())
            values[name] = words[++i];
        else
            return name + " needs a value";
    }
    return "";
}

// The reply a read must get: its byte count and the coils or registers given.
std::string ReadReply(const Bytes& request, const std::vector<std::string>& values, Bytes& adu) {
    const uint8_t function = request[1];
    const size_t quantity = static_cast<size_t>(request[4] << 8 | request[5]);
    const bool bits = function <= 0x02;
    if (values.size() != quantity)
        return "expect gives " + std::to_string(values.size()) + (bits ? " coils" : " registers") +
               ", the request reads " + std::to_string(quantity);
    adu = {request[0], function, 0};
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string& value = values[i];
        if (bits && value != "0" && value != "1")
            return "expect " + value + ": give each coil as 0 or 1";
        if (!bits && !IsHex(value, 4))
            return "expect " + value + ": give each register as 4 hexadecimal digits";
        if (bits && i % 8 == 0)
            adu.push_back(0);
        if (bits)
            adu.back() |= static_cast<uint8_t>((value == "1") << (i % 8));
        else
            adu.insert(adu.end(), {static_cast<uint8_t>(ReadHexPrefix(value) >> 8),
                                   static_cast<uint8_t>(ReadHexPrefix(value))});
    }
    if (adu.size() - 3 > 255)
        return "expect: a reply carries at most 255 bytes of data";
    adu[2] = static_cast<uint8_t>(adu.size() - 3);
    return "";
}

class CTestFileReader {
public:
    explicit CTestFileReader(std::vector<CDeviceTest>& tests) : m_tests(tests) {}

    std::string Line(std::string_view line);
    std::string End();
    // The line an error is about: the current one, or the case that lacks a request.
    int ErrorLine() const { return m_errorLine; }

private:
    std::string StartCase(const std::string& name);
    std::string Detail(std::string_view script, size_t column);
    std::string Modbus(std::string_view text);
    std::string Expect(std::string_view text);
    std::string ExpectMatch(const std::string& text);
    std::string Number(const std::string& word, const std::string& text, int& value, int max);
    std::string CheckCase();

    std::vector<CDeviceTest>& m_tests;
    int m_line = 0;
    size_t m_lineLength = 0;
    int m_errorLine = 0;
    bool m_hasRequest = false;
    bool m_hasExpect = false;
    bool m_hasTimeout = false;
    bool m_hasRepeat = false;
    bool m_hasBreak = false;
};

std::string CTestFileReader::Line(std::string_view line) {
    m_errorLine = ++m_line;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    m_lineLength = line.size();
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos || line[start] == '#')
        return "";
    const size_t wordEnd = std::min(line.find_first_of(" \t", start), line.size());
    const std::string word(line.substr(start, wordEnd - start));
    const size_t restStart = std::min(line.find_first_not_of(" \t", wordEnd), line.size());
    const std::string rest = TrimText(line.substr(restStart));
    if (word == "case")
        return StartCase(rest);
    if (m_tests.empty())
        return "\"" + word + "\" outside a case (start one with: case NAME)";
    if (word == "detail")
        return Detail(rest, restStart);
    if (word == "modbus")
        return Modbus(rest);
    if (word == "expect")
        return Expect(rest);
    if (word == "expect-match")
        return ExpectMatch(rest);
    if (word == "timeout")
        return Number(word, rest, m_tests.back().timeoutMs, CDeviceTest::kMaxTimeoutMs);
    if (word == "repeat")
        return Number(word, rest, m_tests.back().repeat, CDeviceTest::kMaxRepeat);
    if (word == "break")
        return Number(word, rest, m_tests.back().breakMs, CDeviceTest::kMaxBreakMs);
    return "unknown line \"" + word +
           "\" (give case, detail, modbus, expect, expect-match, timeout, repeat or break)";
}

std::string CTestFileReader::StartCase(const std::string& name) {
    if (std::string error = CheckCase(); !error.empty())
        return error;
    if (name.empty())
        return "a case needs a name: case NAME";
    m_tests.push_back({});
    m_tests.back().name = name;
    m_tests.back().line = m_line;
    m_hasRequest = m_hasExpect = m_hasTimeout = m_hasRepeat = m_hasBreak = false;
    return "";
}

// Every case sends something.
std::string CTestFileReader::CheckCase() {
    if (m_tests.empty() || m_hasRequest)
        return "";
    m_errorLine = m_tests.back().line;
    return "case \"" + m_tests.back().name + "\" has no detail or modbus line";
}

std::string CTestFileReader::End() {
    if (std::string error = CheckCase(); !error.empty())
        return error;
    if (!m_tests.empty())
        return "";
    m_errorLine = 0;
    return "the file holds no case (start one with: case NAME)";
}

std::string CTestFileReader::Detail(std::string_view script, size_t column) {
    if (m_hasRequest)
        return "a case holds one detail or modbus line";
    COptionStore options;
    CJPScript compiled(options);
    const CCompileResult result = compiled.CompileDetail(script);
    // An empty script fails at its end, which is past the line's last character.
    const size_t at = std::min(column + static_cast<size_t>(result.position) + 1, m_lineLength);
    if (!result.Succeeded())
        return "syntax error at column " + std::to_string(at) + ": " + result.message;
    m_tests.back().items = compiled.TakeItems();
    m_hasRequest = true;
    return "";
}

std::string CTestFileReader::Modbus(std::string_view text) {
    if (m_hasRequest)
        return "a case holds one detail or modbus line";
    std::vector<std::string> words;
    if (std::string error = SplitWordTexts(text, words); !error.empty())
        return error;
    if (words.empty() || (words[0] != "rtu" && words[0] != "ascii"))
        return "give modbus rtu|ascii and the fields of the request";
    CModbusFieldValues values;
    if (std::string error = ReadFields({words.begin() + 1, words.end()}, values); !error.empty())
        return error;
    COptionStore options;
    RegisterDefaultOptions(options, "eng");
    CModbusBoxes boxes;
    if (std::string error = ApplyModbusFields(values, options, boxes); !error.empty())
        return error;
    CDeviceTest& test = m_tests.back();
    test.kind = CDeviceTest::Kind::Modbus;
    test.ascii = words[0] == "ascii";
    CJPScript script(options);
    if (const CModbusBuildResult built = BuildModbusRequest(script, test.ascii, boxes);
        !built.Succeeded())
        return built.message;
    test.items = script.TakeItems();
    m_hasRequest = true;
    return "";
}

std::string CTestFileReader::Expect(std::string_view text) {
    CDeviceTest& test = m_tests.back();
    if (test.kind != CDeviceTest::Kind::Modbus)
        return "expect goes after a modbus line (a Detail script says what it expects in <>)";
    if (m_hasExpect)
        return "a case holds one expect or expect-match line";
    const Bytes frame = test.items.front().bytes.ToVector();
    Bytes request;
    if (!(test.ascii ? AduOfAsciiFrame(frame, request) : AduOfRtuFrame(frame, request)))
        return "the request is no MODBUS frame";
    std::vector<std::string> words;
    if (std::string error = SplitWordTexts(text, words); !error.empty())
        return error;
    Bytes reply;
    if (request[0] == 0)
        return "a broadcast (slave 0) gets no reply to expect";
    if (words.size() == 2 && words[0] == "exception") {
        if (!IsHex(words[1], 2) || ReadHexPrefix(words[1]) == 0)
            return "expect exception " + words[1] + ": give the code as 2 hexadecimal digits";
        reply = {request[0], static_cast<uint8_t>(request[1] | 0x80),
                 static_cast<uint8_t>(ReadHexPrefix(words[1]))};
    } else if (request[1] > 0x04) {
        return "a write's reply echoes the request: give expect only for reads, or expect "
               "exception CODE";
    } else if (std::string error = ReadReply(request, words, reply); !error.empty()) {
        return error;
    }
    test.expectedReply = test.ascii ? AsciiFrameOf(reply) : RtuFrameOf(reply);
    m_hasExpect = true;
    return "";
}

std::string CTestFileReader::ExpectMatch(const std::string& text) {
    CDeviceTest& test = m_tests.back();
    if (!m_hasRequest)
        return "expect-match goes after a detail or modbus line";
    if (m_hasExpect)
        return "a case holds one expect or expect-match line";
    const bool scriptExpects =
        std::any_of(test.items.begin(), test.items.end(),
                    [](const CJPItem& item) { return item.kind == JPItemKind::Expect; });
    if (scriptExpects)
        return "the detail script says what it expects in <> already: give expect-match to a "
               "script without <>";
    if (std::string error = CBytePattern::Parse(text, CBytePattern::Use::Match, test.expectMatch);
        !error.empty())
        return "expect-match: " + error;
    m_hasExpect = true;
    return "";
}

std::string CTestFileReader::Number(const std::string& word, const std::string& text, int& value,
                                    int max) {
    bool& seen = word == "timeout" ? m_hasTimeout : word == "repeat" ? m_hasRepeat : m_hasBreak;
    if (seen)
        return "a case holds one " + word + " line";
    if (!NumberIn(text, 1, max, value))
        return word + " " + text + ": give a whole number from 1 to " + std::to_string(max);
    seen = true;
    return "";
}

} // namespace

std::string ParseDeviceTests(std::string_view text, std::vector<CDeviceTest>& tests) {
    tests.clear();
    CTestFileReader reader(tests);
    return ReadLineByLine(text, reader);
}

} // namespace brivox
