// What a slave says about itself: the objects of a read device identification reply (function
// 2B, MEI type 0E) and the bytes of a report slave ID reply (function 11).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

struct CModbusDeviceObject {
    int id = 0;
    std::string value; // bytes outside printable ASCII shown as '.'
};

struct CModbusDeviceIdentification {
    std::vector<CModbusDeviceObject> objects;
    bool moreFollows = false; // the slave has more objects, from nextObject on
    int nextObject = 0;
};

// False when the reply ADU (slave, 2B, 0E, ...) carries no whole list of objects.
bool DecodeDeviceIdentification(const std::vector<uint8_t>& adu,
                                CModbusDeviceIdentification& identification);

// "vendor", "product code", "revision", ... for the standard objects; "object 80" for others.
std::string ModbusDeviceObjectName(int id);

// The report slave ID reply's data, which only its device knows how to read: its bytes in hex
// and, when it holds any, its printable text ("01 FF 50 55 4D 50 \"PUMP\"").
std::string DescribeSlaveId(const std::vector<uint8_t>& adu);

} // namespace brivox
