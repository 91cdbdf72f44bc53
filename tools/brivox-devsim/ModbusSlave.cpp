#include "brivox-devsim/ModbusSlave.h"

#include <cstddef>

namespace brivox::devsim {

namespace {

constexpr int kMaxReadBits = 2000;
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxWriteBits = 0x7B0;
constexpr int kMaxWriteRegisters = 123;

std::vector<uint8_t> Exception(uint8_t function, uint8_t code) {
    return {static_cast<uint8_t>(function | 0x80), code};
}

} // namespace

// A request PDU read as function, address, quantity (or value) and the bytes after them.
struct CModbusSlave::CRequest {
    explicit CRequest(const std::vector<uint8_t>& pdu) : pdu(pdu) {}

    uint8_t Function() const { return pdu[0]; }
    int Word(size_t offset) const { return pdu[offset] << 8 | pdu[offset + 1]; }
    int Address() const { return Word(1); }
    int Quantity() const { return Word(3); }
    // 01 to 06: exactly address and quantity/value. 0F, 10: a byte count and that many bytes.
    bool FixedLength() const { return pdu.size() == 5; }
    bool CountedLength(int expectedCount) const {
        return pdu.size() >= 6 && pdu[5] == expectedCount &&
               pdu.size() == 6 + static_cast<size_t>(expectedCount);
    }
    bool InTable(int quantity) const { return Address() + quantity <= kTableSize; }

    const std::vector<uint8_t>& pdu;
};

CModbusSlave::CModbusSlave()
    : m_coils(kTableSize), m_discreteInputs(kTableSize), m_holding(kTableSize),
      m_inputs(kTableSize) {
    for (int a = 0; a < kTableSize; ++a) {
        m_coils[a] = a % 3 == 0;
        m_discreteInputs[a] = a % 2 == 0;
        m_holding[a] = static_cast<uint16_t>(a);
        m_inputs[a] = static_cast<uint16_t>(0x8000 + a);
    }
}

std::vector<uint8_t> CModbusSlave::Process(const std::vector<uint8_t>& pdu) {
    if (pdu.empty())
        return {};
    const CRequest request(pdu);
    switch (request.Function()) {
    case 0x01:
        return ReadBits(request, m_coils);
    case 0x02:
        return ReadBits(request, m_discreteInputs);
    case 0x03:
        return ReadRegisters(request, m_holding);
    case 0x04:
        return ReadRegisters(request, m_inputs);
    case 0x05:
        return WriteSingleCoil(request);
    case 0x06:
        return WriteSingleRegister(request);
    case 0x0F:
        return WriteCoils(request);
    case 0x10:
        return WriteRegisters(request);
    default:
        return Exception(request.Function(), kIllegalFunction);
    }
}

std::vector<uint8_t> CModbusSlave::ReadBits(const CRequest& request,
                                            const std::vector<bool>& table) const {
    const int quantity = request.FixedLength() ? request.Quantity() : 0;
    if (quantity < 1 || quantity > kMaxReadBits)
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(quantity))
        return Exception(request.Function(), kIllegalDataAddress);
    std::vector<uint8_t> reply = {request.Function(), static_cast<uint8_t>((quantity + 7) / 8)};
    reply.resize(2 + reply[1]);
    for (int i = 0; i < quantity; ++i)
        if (table[request.Address() + i])
            reply[2 + i / 8] |= static_cast<uint8_t>(1 << (i % 8));
    return reply;
}

std::vector<uint8_t> CModbusSlave::ReadRegisters(const CRequest& request,
                                                 const std::vector<uint16_t>& table) const {
    const int quantity = request.FixedLength() ? request.Quantity() : 0;
    if (quantity < 1 || quantity > kMaxReadRegisters)
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(quantity))
        return Exception(request.Function(), kIllegalDataAddress);
    std::vector<uint8_t> reply = {request.Function(), static_cast<uint8_t>(quantity * 2)};
    for (int i = 0; i < quantity; ++i) {
        reply.push_back(static_cast<uint8_t>(table[request.Address() + i] >> 8));
        reply.push_back(static_cast<uint8_t>(table[request.Address() + i]));
    }
    return reply;
}

std::vector<uint8_t> CModbusSlave::WriteSingleCoil(const CRequest& request) {
    const int value = request.FixedLength() ? request.Quantity() : -1;
    if (value != 0x0000 && value != 0xFF00)
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(1))
        return Exception(request.Function(), kIllegalDataAddress);
    m_coils[request.Address()] = value == 0xFF00;
    return request.pdu;
}

std::vector<uint8_t> CModbusSlave::WriteSingleRegister(const CRequest& request) {
    if (!request.FixedLength())
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(1))
        return Exception(request.Function(), kIllegalDataAddress);
    m_holding[request.Address()] = static_cast<uint16_t>(request.Quantity());
    return request.pdu;
}

std::vector<uint8_t> CModbusSlave::WriteCoils(const CRequest& request) {
    const int quantity = request.pdu.size() >= 6 ? request.Quantity() : 0;
    if (quantity < 1 || quantity > kMaxWriteBits || !request.CountedLength((quantity + 7) / 8))
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(quantity))
        return Exception(request.Function(), kIllegalDataAddress);
    for (int i = 0; i < quantity; ++i)
        m_coils[request.Address() + i] = (request.pdu[6 + i / 8] >> (i % 8) & 1) != 0;
    return {request.pdu.begin(), request.pdu.begin() + 5};
}

std::vector<uint8_t> CModbusSlave::WriteRegisters(const CRequest& request) {
    const int quantity = request.pdu.size() >= 6 ? request.Quantity() : 0;
    if (quantity < 1 || quantity > kMaxWriteRegisters || !request.CountedLength(quantity * 2))
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(quantity))
        return Exception(request.Function(), kIllegalDataAddress);
    for (int i = 0; i < quantity; ++i)
        m_holding[request.Address() + i] = static_cast<uint16_t>(request.Word(6 + 2 * i));
    return {request.pdu.begin(), request.pdu.begin() + 5};
}

} // namespace brivox::devsim
