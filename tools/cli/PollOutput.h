// The lines of brivox-cli poll: one a cycle, as text, CSV or JSON lines.
#pragma once

#include "modbus/ModbusPollStatistics.h"
#include "modbus/ModbusValues.h"

#include <string>

namespace brivox::cli {

enum class PollFormat { Text, Csv, Jsonl };

// Error text, empty when the name is text, csv or jsonl.
std::string ParsePollFormat(const std::string& name, PollFormat& format);

class CPollOutput {
public:
    CPollOutput(PollFormat format, const CModbusValueFormat& values, int start, int count);

    // The CSV header ("time,0000,0002,error"); empty for the other formats.
    std::string Header() const;
    // One cycle at this wall time ("2026-12-09 10:11:12.345678").
    std::string Line(const std::string& time, const CModbusPollResult& result) const;

private:
    std::string TextLine(const std::string& time, const std::vector<std::string>& values,
                         const std::string& error) const;
    std::string CsvLine(const std::string& time, const std::vector<std::string>& values,
                        const std::string& error) const;
    std::string JsonLine(const std::string& time, const std::vector<std::string>& values,
                         const std::string& error) const;
    // The address of the n-th value, four hex digits.
    std::string Address(size_t n) const;

    const PollFormat m_format;
    const CModbusValueFormat m_values;
    const int m_start;
    const int m_valueCount;
};

} // namespace brivox::cli
