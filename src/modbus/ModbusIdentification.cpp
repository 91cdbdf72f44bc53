#include "modbus/ModbusIdentification.h"

#include "modbus/ModbusFrame.h"
#include "util/Text.h"

#include <iterator>

namespace brivox {

namespace {

constexpr uint8_t kReadDeviceIdentification = 0x0E;
constexpr size_t kObjectsAt = 8;
constexpr size_t kSlaveIdDataAt = 3;
constexpr size_t kShortestText = 3;

bool Printable(uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F;
}

std::string PrintableText(const uint8_t* bytes, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += Printable(bytes[i]) ? static_cast<char>(bytes[i]) : '.';
    return text;
}

// The longest run of printable bytes, when it is long enough to be meant as text.
std::string TextIn(const std::vector<uint8_t>& bytes, size_t from) {
    std::string longest;
    std::string run;
    for (size_t i = from; i <= bytes.size(); ++i) {
        if (i < bytes.size() && Printable(bytes[i])) {
            run += static_cast<char>(bytes[i]);
            continue;
        }
        if (run.size() > longest.size())
            longest = run;
        run.clear();
    }
    return longest.size() >= kShortestText ? longest : "";
}

} // namespace

bool DecodeDeviceIdentification(const std::vector<uint8_t>& adu,
                                CModbusDeviceIdentification& identification) {
    const size_t end = ModbusDeviceIdentificationEnd(adu);
    if (adu.size() < kObjectsAt || adu[1] != 0x2B || adu[2] != kReadDeviceIdentification ||
        end != adu.size())
        return false;
    identification = {};
    for (size_t at = kObjectsAt; at < end; at += 2 + adu[at + 1])
        identification.objects.push_back({adu[at], PrintableText(&adu[at + 2], adu[at + 1])});
    identification.moreFollows = adu[5] == 0xFF;
    identification.nextObject = adu[6];
    return true;
}

std::string ModbusDeviceObjectName(int id) {
    static const char* const kNames[] = {"vendor",          "product code", "revision",
                                         "vendor URL",      "product name", "model name",
                                         "application name"};
    if (id >= 0 && id < static_cast<int>(std::size(kNames)))
        return kNames[id];
    return "object " + FormatNumber(id, 16, 2);
}

std::string DescribeSlaveId(const std::vector<uint8_t>& adu) {
    std::string text;
    for (size_t i = kSlaveIdDataAt; i < adu.size(); ++i)
        text += (text.empty() ? "" : " ") + FormatNumber(adu[i], 16, 2);
    if (const std::string printable = TextIn(adu, kSlaveIdDataAt); !printable.empty())
        text += " \"" + printable + "\"";
    return text;
}

} // namespace brivox
