#include "serial/SerialSettings.h"

#include "util/Text.h"

namespace brivox {

namespace {

struct CParityName {
    const char* letter;
    const char* name;
};

constexpr CParityName kParityNames[] = {
    {"N", "None"}, {"E", "Even"}, {"O", "Odd"}, {"M", "Mark"}, {"S", "Space"},
};

} // namespace

std::string CSerialSettings::GetSettings() const {
    std::string text = std::to_string(m_baud) + ",";
    for (const CParityName& parity : kParityNames)
        if (m_parity == parity.name)
            text += std::string(parity.letter) + ",";
    return text + m_dataBits + "," + m_stopBits;
}

void CSerialSettings::SetSettings(const std::string& text) {
    const std::vector<std::string> fields = SplitText(text, ",");
    if (fields.size() != 4)
        return;
    m_baud = ReadLeadingInt(fields[0]);
    m_parity = fields[1];
    for (const CParityName& parity : kParityNames)
        if (fields[1] == parity.letter)
            m_parity = parity.name;
    m_dataBits = fields[2];
    m_stopBits = fields[3];
}

} // namespace brivox
