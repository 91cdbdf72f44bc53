// Any bytes received after any request are judged without a crash or an out-of-bounds read. The
// input is a flags byte (bit 0: ASCII), the request's address and PDU (its length first, at least
// 6) and then what was received. A judged reply always says why it fails or what it carries, and
// a request that comes back as it went is never taken for a good reply of a read.
#include "modbus/ModbusFrame.h"
#include "modbus/ModbusReply.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const bool ascii = (data[0] & 1) != 0;
    const size_t requestLength = std::min<size_t>(std::max<size_t>(data[1], 6), size - 2);
    const std::vector<uint8_t> adu(data + 2, data + 2 + requestLength);
    const std::vector<uint8_t> received(data + 2 + requestLength, data + size);
    const std::vector<uint8_t> request =
        ascii ? brivox::AsciiFrameOf(adu) : brivox::RtuFrameOf(adu);

    using brivox::ModbusVerdict;
    const brivox::CModbusReplyCheck check = brivox::CheckModbusReply(request, received, ascii);
    const bool failed =
        check.verdict == ModbusVerdict::Mismatch || check.verdict == ModbusVerdict::BadChecksum;
    const bool judged =
        check.verdict == ModbusVerdict::Ok || check.verdict == ModbusVerdict::Exception;
    if ((failed && check.reason.empty()) || (judged && check.lines.empty()))
        std::abort();

    const bool read = adu.size() >= 6 && adu[1] >= 0x01 && adu[1] <= 0x04;
    if (read && brivox::CheckModbusReply(request, request, ascii).verdict == ModbusVerdict::Ok)
        std::abort();
    return 0;
}
