#include "modbus/ModbusWrite.h"

#include "util/Text.h"

#include <algorithm>
#include <iterator>

namespace brivox {

namespace {

constexpr int kMaxWriteCoils = 1968;
constexpr int kMaxWriteRegisters = 123;
constexpr int kMaxReadWriteRegisters = 121;
constexpr int kMaxReadRegisters = 125;

void PushWord(std::vector<uint8_t>& adu, int word) {
    adu.push_back(static_cast<uint8_t>(word >> 8));
    adu.push_back(static_cast<uint8_t>(word));
}

void PushRegisters(std::vector<uint8_t>& adu, const std::vector<uint16_t>& values) {
    PushWord(adu, static_cast<int>(values.size()));
    adu.push_back(static_cast<uint8_t>(2 * values.size()));
    for (const uint16_t value : values)
        PushWord(adu, value);
}

void PushCoils(std::vector<uint8_t>& adu, const std::vector<uint16_t>& coils) {
    PushWord(adu, static_cast<int>(coils.size()));
    std::vector<uint8_t> packed((coils.size() + 7) / 8);
    for (size_t i = 0; i < coils.size(); ++i)
        if (coils[i] != 0)
            packed[i / 8] = static_cast<uint8_t>(packed[i / 8] | 1 << (i % 8));
    adu.push_back(static_cast<uint8_t>(packed.size()));
    adu.insert(adu.end(), packed.begin(), packed.end());
}

std::string CheckWrite(const CModbusWrite& w) {
    static constexpr int kWrites[] = {0x05, 0x06, 0x0F, 0x10, 0x16, 0x17};
    if (std::find(std::begin(kWrites), std::end(kWrites), w.function) == std::end(kWrites))
        return "the write functions are 05, 06, 0F, 10, 16 and 17";
    if (w.slave < 0 || w.slave > 247)
        return "the slave is 0 (broadcast) to 247";
    if (w.start < 0 || w.start > 0xFFFF)
        return "the start is 0000 to FFFF";
    const int count = static_cast<int>(w.values.size());
    const bool one = w.function == 0x05 || w.function == 0x06;
    if (one && count != 1)
        return "functions 05 and 06 write one value";
    const bool several = !one && w.function != 0x16; // a mask carries no values
    const int most = w.function == 0x0F   ? kMaxWriteCoils
                     : w.function == 0x17 ? kMaxReadWriteRegisters
                                          : kMaxWriteRegisters;
    if (several && (count < 1 || count > most))
        return "function " + FormatNumber(w.function, 16, 2) + " writes 1 to " +
               std::to_string(most) + " values";
    if (several && w.start + count > 0x10000)
        return "the values reach past address FFFF";
    if (w.function == 0x17 && (w.readCount < 1 || w.readCount > kMaxReadRegisters ||
                               w.readStart < 0 || w.readStart + w.readCount > 0x10000))
        return "function 17 reads 1 to 125 registers from 0000 to FFFF";
    return "";
}

} // namespace

std::vector<uint8_t> ModbusReadAdu(int slave, int function, int start, int count) {
    std::vector<uint8_t> adu = {static_cast<uint8_t>(slave), static_cast<uint8_t>(function)};
    PushWord(adu, start);
    PushWord(adu, count);
    return adu;
}

std::vector<uint8_t> ModbusEchoAdu(int slave, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> pdu = {0x08, 0x00, 0x00};
    pdu.insert(pdu.end(), data.begin(), data.end());
    return ModbusRawAdu(slave, pdu);
}

std::vector<uint8_t> ModbusDeviceIdentificationAdu(int slave, int firstObject) {
    return ModbusRawAdu(slave, {0x2B, 0x0E, 0x01, static_cast<uint8_t>(firstObject)});
}

std::vector<uint8_t> ModbusRawAdu(int slave, const std::vector<uint8_t>& pdu) {
    std::vector<uint8_t> adu = {static_cast<uint8_t>(slave)};
    adu.insert(adu.end(), pdu.begin(), pdu.end());
    return adu;
}

std::string BuildModbusWrite(const CModbusWrite& w, std::vector<uint8_t>& adu) {
    adu.clear();
    if (std::string error = CheckWrite(w); !error.empty())
        return error;
    adu = {static_cast<uint8_t>(w.slave), static_cast<uint8_t>(w.function)};
    switch (w.function) {
    case 0x05:
        PushWord(adu, w.start);
        PushWord(adu, w.values[0] != 0 ? 0xFF00 : 0x0000);
        return "";
    case 0x06:
        PushWord(adu, w.start);
        PushWord(adu, w.values[0]);
        return "";
    case 0x0F:
        PushWord(adu, w.start);
        PushCoils(adu, w.values);
        return "";
    case 0x10:
        PushWord(adu, w.start);
        PushRegisters(adu, w.values);
        return "";
    case 0x16:
        PushWord(adu, w.start);
        PushWord(adu, w.andMask);
        PushWord(adu, w.orMask);
        return "";
    default: // 0x17
        PushWord(adu, w.readStart);
        PushWord(adu, w.readCount);
        PushWord(adu, w.start);
        PushRegisters(adu, w.values);
        return "";
    }
}

} // namespace brivox
