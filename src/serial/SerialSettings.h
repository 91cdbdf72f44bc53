#pragma once

#include <cstdint>
#include <string>

namespace brivox {

// The port number and line settings of a port, with the settings text 9600,N,8,1 that the
// session form builds from its combos. Changes take effect at the next open.
class CSerialSettings {
public:
    virtual ~CSerialSettings() = default;

    int32_t GetCommPort() const { return m_portNumber; }
    void SetCommPort(int32_t portNumber) { m_portNumber = portNumber; }

    // baud, then "N,", "E," or "O," (nothing for another parity text), data bits, ",", stop bits.
    std::string GetSettings() const;
    // Four comma-separated fields or nothing changes; N/E/O become None/Even/Odd, any other
    // parity field is kept as it stands.
    void SetSettings(const std::string& text);

    int32_t GetBaud() const { return m_baud; }
    const std::string& GetParity() const { return m_parity; }
    const std::string& GetDataBits() const { return m_dataBits; }
    const std::string& GetStopBits() const { return m_stopBits; }

private:
    int32_t m_portNumber = 0;
    int32_t m_baud = 0;
    std::string m_parity;
    std::string m_dataBits;
    std::string m_stopBits;
};

} // namespace brivox
