#pragma once

#include <cstdint>
#include <vector>

namespace brivox::devsim {

// The data of a MODBUS slave and its answers to request PDUs (function code first) for the
// functions 01, 02, 03, 04, 05, 06, 0F and 10, and 07 (exception status: coils 0 to 7), 08
// sub-function 00 (echo), 11 (report slave ID), 16 (mask write), 17 (write, then read,
// registers) and 2B/0E (device identification: vendor, product code, revision). The tables start
// with a pattern that is easy to recognise: coil a is on when a is a multiple of 3, discrete input
// a when a is even, holding register a holds a, input register a holds 0x8000 + a.
class CModbusSlave {
public:
    static constexpr int kTableSize = 5000;

    enum ExceptionCode : uint8_t {
        kIllegalFunction = 0x01,
        kIllegalDataAddress = 0x02,
        kIllegalDataValue = 0x03,
    };

    CModbusSlave();

    // The response PDU: the function's answer or an exception (function | 0x80, code).
    std::vector<uint8_t> Process(const std::vector<uint8_t>& request);

    bool Coil(int address) const { return m_coils[address]; }
    uint16_t HoldingRegister(int address) const { return m_holding[address]; }

private:
    struct CRequest;

    std::vector<uint8_t> ReadBits(const CRequest& request, const std::vector<bool>& table) const;
    std::vector<uint8_t> ReadRegisters(const CRequest& request,
                                       const std::vector<uint16_t>& table) const;
    std::vector<uint8_t> WriteSingleCoil(const CRequest& request);
    std::vector<uint8_t> WriteSingleRegister(const CRequest& request);
    std::vector<uint8_t> WriteCoils(const CRequest& request);
    std::vector<uint8_t> WriteRegisters(const CRequest& request);
    std::vector<uint8_t> ExceptionStatus(const CRequest& request) const;
    std::vector<uint8_t> Diagnostics(const CRequest& request) const;
    std::vector<uint8_t> ReportSlaveId(const CRequest& request) const;
    std::vector<uint8_t> MaskWriteRegister(const CRequest& request);
    std::vector<uint8_t> ReadWriteRegisters(const CRequest& request);
    std::vector<uint8_t> DeviceIdentification(const CRequest& request) const;

    std::vector<bool> m_coils;
    std::vector<bool> m_discreteInputs;
    std::vector<uint16_t> m_holding;
    std::vector<uint16_t> m_inputs;
};

} // namespace brivox::devsim
