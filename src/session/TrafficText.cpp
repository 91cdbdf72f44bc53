#include "session/TrafficText.h"

#include <algorithm>
#include <bit>
#include <string_view>

namespace brivox {

namespace {

constexpr uint16_t kEveryCell = 0xFFFF;
constexpr char kHexDigits[] = "0123456789ABCDEF";

// Widest text a byte takes: ", 0x41".
constexpr size_t kMaxCharsPerByte = 6;

struct CSelectionSurvey {
    bool labelled = false; // rows of both kinds
    size_t bytes = 0;
};

// Each selected row in which any chosen cell holds a byte, with those cells.
template <typename Visit>
void ForEachChosenRow(const RowLookup& rows, const CCellSelection& cells, Visit visit) {
    for (size_t i = 0; i < cells.masks.size(); ++i) {
        const CByteRow* row = rows(cells.firstRow + static_cast<int>(i));
        const uint16_t chosen = row != nullptr ? cells.masks[i] & FilledCells(*row) : 0;
        if (chosen != 0)
            visit(*row, chosen);
    }
}

CSelectionSurvey Survey(const RowLookup& rows, const CCellSelection& cells) {
    CSelectionSurvey survey;
    bool tx = false;
    bool rx = false;
    ForEachChosenRow(rows, cells, [&](const CByteRow& row, uint16_t chosen) {
        (row.txLabel ? tx : rx) = true;
        survey.bytes += static_cast<size_t>(std::popcount(chosen));
    });
    survey.labelled = tx && rx;
    return survey;
}

// A line is made in a buffer of its own and appended whole: a 64 MiB copy is four million
// appends, not two hundred million.
class CLineText {
public:
    void Append(char c) { *m_end++ = c; }
    void Append(std::string_view text) { m_end = std::copy(text.begin(), text.end(), m_end); }
    void AppendCells(const CByteRow& row, uint16_t chosen, CopyFormat format) {
        bool first = true;
        for (int cell = 0; cell < CByteRow::kCells; ++cell) {
            if ((chosen >> cell & 1u) == 0)
                continue;
            AppendByte(row.Value(cell), format, first);
            first = false;
        }
    }
    void MoveTo(std::string& out) {
        out.append(m_buffer, m_end);
        m_end = m_buffer;
    }

private:
    void AppendHex(uint8_t value) {
        *m_end++ = kHexDigits[value >> 4];
        *m_end++ = kHexDigits[value & 0x0F];
    }
    void AppendByte(uint8_t value, CopyFormat format, bool first) {
        switch (format) {
        case CopyFormat::Hex:
            if (!first)
                Append(' ');
            AppendHex(value);
            return;
        case CopyFormat::Text:
            Append(value >= 32 && value <= 126 ? static_cast<char>(value) : '.');
            return;
        case CopyFormat::CArray:
            Append(first ? "0x" : ", 0x");
            AppendHex(value);
            return;
        }
    }

    // The separator, the label and the braces of a line, and its 16 bytes.
    char m_buffer[8 + CByteRow::kCells * kMaxCharsPerByte];
    char* m_end = m_buffer;
};

} // namespace

uint16_t FilledCells(const CByteRow& row) {
    // A cell holds a byte where either bit of its state is set; those bits are then gathered.
    uint32_t bits = (row.states | row.states >> 1) & 0x55555555u;
    bits = (bits | bits >> 1) & 0x33333333u;
    bits = (bits | bits >> 2) & 0x0F0F0F0Fu;
    bits = (bits | bits >> 4) & 0x00FF00FFu;
    bits = (bits | bits >> 8) & 0x0000FFFFu;
    return static_cast<uint16_t>(bits);
}

CCellSelection WholeRows(int rowCount) {
    return {0, std::vector<uint16_t>(static_cast<size_t>(std::max(rowCount, 0)), kEveryCell)};
}

std::string TrafficText(const RowLookup& rows, const CCellSelection& cells, CopyFormat format) {
    const CSelectionSurvey survey = Survey(rows, cells);
    const bool oneArray = format == CopyFormat::CArray && !survey.labelled;
    std::string out;
    out.reserve(survey.bytes * kMaxCharsPerByte);
    CLineText line;
    bool firstLine = true;
    ForEachChosenRow(rows, cells, [&](const CByteRow& row, uint16_t chosen) {
        if (!firstLine)
            line.Append(oneArray ? ",\n " : "\n");
        if (survey.labelled)
            line.Append(row.txLabel ? "TX " : "RX ");
        if (format == CopyFormat::CArray && (firstLine || !oneArray))
            line.Append('{');
        line.AppendCells(row, chosen, format);
        if (format == CopyFormat::CArray && !oneArray)
            line.Append('}');
        line.MoveTo(out);
        firstLine = false;
    });
    if (oneArray && !firstLine)
        out += '}';
    return out;
}

std::string TrafficBytes(const RowLookup& rows, int rowCount) {
    std::string bytes;
    bytes.reserve(static_cast<size_t>(std::max(rowCount, 0)) * CByteRow::kCells);
    char pair[2 * CByteRow::kCells];
    for (int index = 0; index < rowCount;) {
        const CByteRow* row = rows(index);
        const CByteRow* next = row != nullptr && row->txLabel ? rows(index + 1) : nullptr;
        const CByteRow* reply = next != nullptr && !next->txLabel ? next : nullptr;
        char* end = pair;
        for (int cell = 0; row != nullptr && cell < CByteRow::kCells; ++cell) {
            if (row->HasCell(cell))
                *end++ = static_cast<char>(row->Value(cell));
            if (reply != nullptr && reply->HasCell(cell))
                *end++ = static_cast<char>(reply->Value(cell));
        }
        bytes.append(pair, end);
        index += reply != nullptr ? 2 : 1;
    }
    return bytes;
}

std::string SavedTrafficText(const RowLookup& rows, int rowCount, int64_t droppedBytes) {
    std::string text = TrafficText(rows, WholeRows(rowCount), CopyFormat::Hex);
    if (!text.empty())
        text += '\n';
    if (droppedBytes > 0)
        text.insert(0, "# " + std::to_string(droppedBytes) +
                           " earlier bytes were dropped when the list reached its limit\n");
    return text;
}

} // namespace brivox
