#include "cli/PollOutput.h"

#include "util/Text.h"

#include <cmath>
#include <cstdlib>

namespace brivox::cli {

namespace {

std::string JsonString(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            quoted += "\\u00" + FormatNumber(static_cast<uint8_t>(c), 16, 2);
            continue;
        }
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// A value that reads as a finite number goes into JSON as one; anything else as a string.
std::string JsonValue(const std::string& value) {
    char* end = nullptr;
    const double number = std::strtod(value.c_str(), &end);
    const bool isNumber = !value.empty() && *end == '\0' && std::isfinite(number) &&
                          value.find_first_of("xX") == std::string::npos;
    return isNumber ? value : JsonString(value);
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

std::string ParsePollFormat(const std::string& name, PollFormat& format) {
    if (name == "text")
        format = PollFormat::Text;
    else if (name == "csv")
        format = PollFormat::Csv;
    else if (name == "jsonl")
        format = PollFormat::Jsonl;
    else
        return "--format takes text, csv or jsonl";
    return "";
}

CPollOutput::CPollOutput(PollFormat format, const CModbusValueFormat& values, int start, int count)
    : m_format(format), m_values(values), m_start(start),
      m_valueCount(count / RegistersPerValue(values)) {}

std::string CPollOutput::Address(size_t n) const {
    return FormatNumber(static_cast<uint32_t>(m_start) +
                            static_cast<uint32_t>(n) *
                                static_cast<uint32_t>(RegistersPerValue(m_values)),
                        16, 4);
}

std::string CPollOutput::Header() const {
    if (m_format != PollFormat::Csv)
        return "";
    std::string header = "time";
    for (int n = 0; n < m_valueCount; ++n)
        header += "," + Address(static_cast<size_t>(n));
    return header + ",error\n";
}

std::string CPollOutput::Line(const std::string& time, const CModbusPollResult& result) const {
    const std::vector<std::string> values = result.outcome == ModbusPollOutcome::Valid
                                                ? FormatModbusValues(result.values, m_values)
                                                : std::vector<std::string>();
    switch (m_format) {
    case PollFormat::Csv:
        return CsvLine(time, values, result.error);
    case PollFormat::Jsonl:
        return JsonLine(time, values, result.error);
    default:
        return TextLine(time, values, result.error);
    }
}

std::string CPollOutput::TextLine(const std::string& time, const std::vector<std::string>& values,
                                  const std::string& error) const {
    std::string line = time;
    for (size_t n = 0; n < values.size(); ++n)
        line += "  " + Address(n) + "=" + values[n];
    return line + (error.empty() ? "" : "  error: " + error) + "\n";
}

std::string CPollOutput::CsvLine(const std::string& time, const std::vector<std::string>& values,
                                 const std::string& error) const {
    std::string line = time;
    for (int n = 0; n < m_valueCount; ++n)
        line += "," + (static_cast<size_t>(n) < values.size() ? CsvField(values[n]) : "");
    return line + "," + CsvField(error) + "\n";
}

std::string CPollOutput::JsonLine(const std::string& time, const std::vector<std::string>& values,
                                  const std::string& error) const {
    std::string line = "{\"time\":" + JsonString(time);
    if (!error.empty())
        return line + ",\"error\":" + JsonString(error) + "}\n";
    line += ",\"values\":{";
    for (size_t n = 0; n < values.size(); ++n)
        line += (n ? "," : "") + JsonString(Address(n)) + ":" + JsonValue(values[n]);
    return line + "}}\n";
}

} // namespace brivox::cli
