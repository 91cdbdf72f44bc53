#include "brivox-devsim/ModbusSlave.h"

#include <cstddef>
#include <iterator>
#include <string>

namespace brivox::devsim {

namespace {

constexpr int kMaxReadBits = 2000;
constexpr int kMaxReadRegisters = 125;
constexpr int kMaxWriteBits = 0x7B0;
constexpr int kMaxWriteRegisters = 123;
constexpr int kMaxReadWriteRegisters = 121;
constexpr const char* kIdentificationObjects[] = {"Brivox", "BRIVOX-DEVSIM", "1.0"};
constexpr uint8_t kReadDeviceIdentification = 0x0E;
constexpr uint8_t kIndividualAccess = 0x04;
constexpr uint8_t kBasicIdentification = 0x81; // basic objects, streamed or one at a time

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
    case 0x07:
        return ExceptionStatus(request);
    case 0x08:
        return Diagnostics(request);
    case 0x11:
        return ReportSlaveId(request);
    case 0x16:
        return MaskWriteRegister(request);
    case 0x17:
        return ReadWriteRegisters(request);
    case 0x2B:
        return DeviceIdentification(request);
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

std::vector<uint8_t> CModbusSlave::ExceptionStatus(const CRequest& request) const {
    if (request.pdu.size() != 1)
        return Exception(request.Function(), kIllegalDataValue);
    uint8_t status = 0;
    for (int i = 0; i < 8; ++i)
        status = static_cast<uint8_t>(status | (m_coils[i] ? 1 << i : 0));
    return {request.Function(), status};
}

std::vector<uint8_t> CModbusSlave::Diagnostics(const CRequest& request) const {
    if (request.pdu.size() < 3 || request.Word(1) != 0x0000)
        return Exception(request.Function(), kIllegalFunction); // only "return query data"
    return request.pdu;
}

std::vector<uint8_t> CModbusSlave::ReportSlaveId(const CRequest& request) const {
    if (request.pdu.size() != 1)
        return Exception(request.Function(), kIllegalDataValue);
    const std::string id = kIdentificationObjects[1];
    std::vector<uint8_t> reply = {request.Function(), static_cast<uint8_t>(id.size() + 1)};
    reply.insert(reply.end(), id.begin(), id.end());
    reply.push_back(0xFF); // running
    return reply;
}

std::vector<uint8_t> CModbusSlave::MaskWriteRegister(const CRequest& request) {
    if (request.pdu.size() != 7)
        return Exception(request.Function(), kIllegalDataValue);
    if (!request.InTable(1))
        return Exception(request.Function(), kIllegalDataAddress);
    const int andMask = request.Word(3);
    const int orMask = request.Word(5);
    uint16_t& value = m_holding[request.Address()];
    value = static_cast<uint16_t>((value & andMask) | (orMask & ~andMask));
    return request.pdu;
}

std::vector<uint8_t> CModbusSlave::ReadWriteRegisters(const CRequest& request) {
    const int writeCount = request.pdu.size() >= 10 ? request.Word(7) : 0;
    const int readCount = request.pdu.size() >= 10 ? request.Quantity() : 0;
    if (readCount < 1 || readCount > kMaxReadRegisters || writeCount < 1 ||
        writeCount > kMaxReadWriteRegisters || request.pdu[9] != writeCount * 2 ||
        request.pdu.size() != 10 + static_cast<size_t>(writeCount) * 2)
        return Exception(request.Function(), kIllegalDataValue);
    const int writeStart = request.Word(5);
    if (!request.InTable(readCount) || writeStart + writeCount > kTableSize)
        return Exception(request.Function(), kIllegalDataAddress);
    for (int i = 0; i < writeCount; ++i)
        m_holding[writeStart + i] = static_cast<uint16_t>(request.Word(10 + 2 * i));
    std::vector<uint8_t> reply = {request.Function(), static_cast<uint8_t>(readCount * 2)};
    for (int i = 0; i < readCount; ++i) {
        reply.push_back(static_cast<uint8_t>(m_holding[request.Address() + i] >> 8));
        reply.push_back(static_cast<uint8_t>(m_holding[request.Address() + i]));
    }
    return reply;
}

std::vector<uint8_t> CModbusSlave::DeviceIdentification(const CRequest& request) const {
    const int objects = static_cast<int>(std::size(kIdentificationObjects));
    if (request.pdu.size() != 4 || request.pdu[1] != kReadDeviceIdentification ||
        request.pdu[2] < 1 || request.pdu[2] > kIndividualAccess)
        return Exception(request.Function(), kIllegalDataValue);
    const bool individual = request.pdu[2] == kIndividualAccess;
    int first = request.pdu[3];
    if (first >= objects && individual)
        return Exception(request.Function(), kIllegalDataAddress);
    if (first >= objects)
        first = 0; // a stream from an unknown object starts again at the first
    const int last = individual ? first : objects - 1;
    std::vector<uint8_t> reply = {request.Function(),
                                  kReadDeviceIdentification,
                                  request.pdu[2],
                                  kBasicIdentification,
                                  0x00 /* no more */,
                                  0x00,
                                  static_cast<uint8_t>(last - first + 1)};
    for (int id = first; id <= last; ++id) {
        const std::string value = kIdentificationObjects[id];
        reply.push_back(static_cast<uint8_t>(id));
        reply.push_back(static_cast<uint8_t>(value.size()));
        reply.insert(reply.end(), value.begin(), value.end());
    }
    return reply;
}

} // namespace brivox::devsim
