#include "testbench/MonitorLines.h"

#include "util/Markup.h"
#include "util/Text.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

namespace brivox {

namespace {

std::string Milliseconds(int64_t us) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64 ".%03d ms", us / 1000, static_cast<int>(us % 1000));
    return text;
}

std::string AsciiOf(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t byte : bytes)
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    return text;
}

std::string JsonNumber(int64_t value) {
    return value < 0 ? "null" : std::to_string(value);
}

std::string JsonFields(const std::vector<CModbusField>& fields) {
    std::string json = "{";
    for (const CModbusField& field : fields) {
        json += (json.size() > 1 ? "," : "") + JsonString(field.name) + ":";
        if (field.values.size() == 1) {
            json += std::to_string(field.values[0]);
            continue;
        }
        json += "[";
        for (size_t i = 0; i < field.values.size(); ++i)
            json += (i == 0 ? "" : ",") + std::to_string(field.values[i]);
        json += "]";
    }
    return json + "}";
}

std::string JsonModbus(const CModbusFrameInfo& info) {
    return std::string("{\"kind\":\"") + ModbusKindName(info.kind) +
           "\",\"slave\":" + JsonNumber(info.slave) + ",\"function\":" + JsonNumber(info.function) +
           ",\"fields\":" + JsonFields(info.fields) +
           ",\"checksum_ok\":" + (info.checksumOk ? "true" : "false") +
           ",\"checksum\":" + JsonString(info.checksum) +
           ",\"problem\":" + JsonString(info.problem) +
           ",\"text\":" + JsonString(DescribeModbusFrame(info)) + "}";
}

} // namespace

CMonitorLines::CMonitorLines(Format format, Modbus modbus, CWallClock clock, bool namePorts)
    : m_format(format), m_clock(clock), m_namePorts(namePorts) {
    if (modbus != Modbus::None)
        m_decoder = std::make_unique<CModbusDecoder>(modbus == Modbus::Ascii);
}

std::string CMonitorLines::Line(const CLineFrame& frame, const std::string& port) {
    CDecoded decoded;
    if (m_decoder) {
        decoded.info = m_decoder->Decode(frame.bytes);
        decoded.pair = m_pairing.Note(port, frame, decoded.info);
    }
    const CDecoded* known = m_decoder ? &decoded : nullptr;
    Count(frame, known ? &known->info : nullptr);
    return m_format == Format::Text ? TextLine(frame, port, known) : JsonLine(frame, port, known);
}

void CMonitorLines::Count(const CLineFrame& frame, const CModbusFrameInfo* info) {
    ++m_frames;
    m_bytes += static_cast<int64_t>(frame.bytes.size());
    if (info && !info->checksumOk)
        ++m_badChecksums;
    if (frame.gapUs < 0 || frame.continued)
        return;
    if (m_shortestGapUs < 0 || frame.gapUs < m_shortestGapUs)
        m_shortestGapUs = frame.gapUs;
    if (frame.gapUs > m_longestGapUs)
        m_longestGapUs = frame.gapUs;
}

std::string CMonitorLines::TextLine(const CLineFrame& frame, const std::string& port,
                                    const CDecoded* decoded) const {
    const std::string gap = frame.continued   ? "continued"
                            : frame.gapUs < 0 ? "first"
                                              : Milliseconds(frame.gapUs);
    char head[96];
    std::snprintf(head, sizeof head, "  gap %12s  %4zu bytes  ", gap.c_str(), frame.bytes.size());
    std::string line = TimeOf(frame.startUs, false) + (m_namePorts ? "  " + port : "") + head +
                       HexPairs(frame.bytes) + "  |" + AsciiOf(frame.bytes) + "|";
    if (!decoded)
        return line + "\n";
    line += "  " + DescribeModbusFrame(decoded->info);
    if (decoded->pair.replyUs >= 0)
        line += "; reply after " + Milliseconds(decoded->pair.replyUs) +
                (m_namePorts ? " to " + decoded->pair.requestPort : "");
    return line + "\n";
}

std::string CMonitorLines::JsonLine(const CLineFrame& frame, const std::string& port,
                                    const CDecoded* decoded) const {
    std::string line = "{\"time\":" + JsonString(TimeOf(frame.startUs, true)) +
                       ",\"port\":" + JsonString(port) +
                       ",\"steady_us\":" + std::to_string(frame.startUs) +
                       ",\"gap_us\":" + (frame.continued ? "0" : JsonNumber(frame.gapUs)) +
                       ",\"continued\":" + (frame.continued ? "true" : "false") +
                       ",\"length\":" + std::to_string(frame.bytes.size()) +
                       ",\"hex\":" + JsonString(HexPairs(frame.bytes)) +
                       ",\"ascii\":" + JsonString(AsciiOf(frame.bytes));
    if (!decoded)
        return line + "}\n";
    line += ",\"modbus\":" + JsonModbus(decoded->info);
    if (decoded->pair.replyUs >= 0)
        line += ",\"reply_us\":" + std::to_string(decoded->pair.replyUs) +
                ",\"request_port\":" + JsonString(decoded->pair.requestPort);
    return line + "}\n";
}

std::string CMonitorLines::TimeOf(int64_t steadyUs, bool utc) const {
    return WallTimeText(m_clock.WallUs(steadyUs), utc);
}

std::string CMonitorLines::LostLine(int64_t atUs, const std::string& reason) {
    ++m_outages;
    m_lostAtUs = atUs;
    if (m_format == Format::Jsonl)
        return "{\"event\":\"lost\",\"time\":" + JsonString(TimeOf(atUs, true)) +
               ",\"steady_us\":" + std::to_string(atUs) + ",\"reason\":" + JsonString(reason) +
               "}\n";
    return TimeOf(atUs, false) + "  device lost: " + reason + "\n";
}

std::string CMonitorLines::BackLine(int64_t atUs) {
    const int64_t outageUs = m_lostAtUs < 0 ? -1 : atUs - m_lostAtUs;
    m_lostAtUs = -1;
    if (m_format == Format::Jsonl)
        return "{\"event\":\"back\",\"time\":" + JsonString(TimeOf(atUs, true)) +
               ",\"steady_us\":" + std::to_string(atUs) + ",\"outage_us\":" + JsonNumber(outageUs) +
               "}\n";
    return TimeOf(atUs, false) + "  device back" +
           (outageUs < 0 ? "" : " after " + Milliseconds(outageUs)) + "\n";
}

std::string CMonitorLines::ModemLine(int64_t atUs, const CModemLines& lines) const {
    if (m_format == Format::Text)
        return TimeOf(atUs, false) + "  modem lines " + ModemLinesText(lines) + "\n";
    const auto flag = [](bool on) { return on ? "true" : "false"; };
    return "{\"event\":\"modem\",\"time\":" + JsonString(TimeOf(atUs, true)) +
           ",\"steady_us\":" + std::to_string(atUs) + ",\"cts\":" + flag(lines.cts) +
           ",\"dsr\":" + flag(lines.dsr) + ",\"dcd\":" + flag(lines.dcd) +
           ",\"ri\":" + flag(lines.ri) + "}\n";
}

std::string CMonitorLines::Summary() const {
    return m_format == Format::Jsonl ? SummaryJson() : SummaryText();
}

std::string CMonitorLines::SummaryJson() const {
    std::string json = "{\"summary\":{\"frames\":" + std::to_string(m_frames) +
                       ",\"bytes\":" + std::to_string(m_bytes) + ",\"bad_checksums\":" +
                       (m_decoder ? std::to_string(m_badChecksums) : "null") +
                       ",\"shortest_gap_us\":" + JsonNumber(m_shortestGapUs) +
                       ",\"longest_gap_us\":" + JsonNumber(m_longestGapUs) +
                       ",\"outages\":" + std::to_string(m_outages);
    if (m_decoder)
        json += ",\"replies\":" + std::to_string(m_pairing.Pairs()) +
                ",\"shortest_reply_us\":" + JsonNumber(m_pairing.ShortestUs()) +
                ",\"longest_reply_us\":" + JsonNumber(m_pairing.LongestUs());
    return json + "}}\n";
}

std::string CMonitorLines::SummaryText() const {
    std::string text =
        "summary: " + std::to_string(m_frames) + " frames, " + std::to_string(m_bytes) + " bytes";
    if (m_decoder)
        text += ", " + std::to_string(m_badChecksums) + " bad checksums";
    if (m_shortestGapUs < 0)
        text += ", no gap between frames";
    else
        text += ", shortest gap " + Milliseconds(m_shortestGapUs) + ", longest gap " +
                Milliseconds(m_longestGapUs);
    if (m_pairing.Pairs() > 0)
        text += ", " + std::to_string(m_pairing.Pairs()) +
                (m_pairing.Pairs() == 1 ? " reply after " : " replies after ") +
                Milliseconds(m_pairing.ShortestUs()) + " to " + Milliseconds(m_pairing.LongestUs());
    if (m_outages > 0)
        text += ", " + std::to_string(m_outages) + (m_outages == 1 ? " outage" : " outages");
    return text + "\n";
}

} // namespace brivox
