#pragma once

#include "platform/AppendFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// The blocks of a pcapng file (the format Wireshark and tshark read), in this machine's byte
// order. Serial bytes go as LINKTYPE_USER0, the raw frame without any header: Wireshark
// decodes it as MODBUS RTU once User 0 is mapped to the mbrtu dissector.
inline constexpr uint16_t kLinkTypeUser0 = 147;
inline constexpr uint16_t kLinkTypeUser15 = 162;

inline constexpr uint32_t kSectionHeaderType = 0x0A0D0D0A;
inline constexpr uint32_t kInterfaceType = 1;
inline constexpr uint32_t kSimplePacketType = 3;
inline constexpr uint32_t kEnhancedPacketType = 6;
inline constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;

// Option codes, by the block they belong to.
inline constexpr uint16_t kEndOfOptions = 0;
inline constexpr uint16_t kCommentOption = 1;     // any block
inline constexpr uint16_t kApplicationOption = 4; // shb_userappl
inline constexpr uint16_t kNameOption = 2;        // if_name
inline constexpr uint16_t kDescriptionOption = 3; // if_description
inline constexpr uint16_t kResolutionOption = 9;  // if_tsresol
inline constexpr uint16_t kFlagsOption = 2;       // epb_flags
inline constexpr uint32_t kDirectionBits = 3;
inline constexpr uint32_t kSymbolErrorFlag = 1u << 31;

// The direction bits of a packet's flags word.
enum class PacketDirection : uint8_t { Unknown = 0, Inbound = 1, Outbound = 2 };

struct CPcapngInterface {
    std::string name;        // "COM5 rx"
    std::string description; // "COM5: received"
    uint16_t linkType = kLinkTypeUser0;
    uint64_t unitsPerSecond = 1000000; // of its timestamps
};

struct CPcapngPacket {
    uint32_t interfaceId = 0;
    int64_t timeUs = -1; // since 1970; -1 for a packet without a time (a simple packet block)
    PacketDirection direction = PacketDirection::Unknown;
    // A byte came with a line error: the flags word's symbol error bit, the nearest a UART's
    // parity or framing error has there.
    bool lineError = false;
    std::string comment;
    std::vector<uint8_t> bytes;
};

std::string PcapngSectionHeader(const std::string& application);
std::string PcapngInterfaceBlock(const CPcapngInterface& interface);
std::string PcapngPacketBlock(const CPcapngPacket& packet);

// Blocks as the records of an appended file, the packets among them counted.
CRecordFormat PcapngRecords();

// "Parity or framing error at offset 2, BREAK at offset 7" for the marked bytes (a LineMark a
// byte, or null); empty when none is marked.
std::string LineErrorComment(const uint8_t* bytes, const uint8_t* marks, size_t count);

} // namespace brivox
