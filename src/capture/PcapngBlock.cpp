#include "capture/PcapngBlock.h"

#include "serial/LineErrorDecoder.h"

#include <cstring>

namespace brivox {

namespace {

constexpr uint8_t kMicroseconds = 6;

template <typename Value> void Put(std::string& out, Value value) {
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void PadTo4(std::string& out) {
    out.append((4 - out.size() % 4) % 4, '\0');
}

void PutOption(std::string& out, uint16_t code, const std::string& value) {
    Put(out, code);
    Put(out, static_cast<uint16_t>(value.size()));
    out += value;
    PadTo4(out);
}

// Options end with an end-of-options entry when there are any.
void EndOptions(std::string& options) {
    if (!options.empty())
        Put(options, static_cast<uint32_t>(kEndOfOptions));
}

std::string Block(uint32_t type, std::string body) {
    PadTo4(body);
    const auto length = static_cast<uint32_t>(body.size() + 12);
    std::string block;
    block.reserve(length);
    Put(block, type);
    Put(block, length);
    block += body;
    Put(block, length);
    return block;
}

uint32_t ReadU32(std::string_view bytes, size_t at) {
    uint32_t value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

} // namespace

std::string PcapngSectionHeader(const std::string& application) {
    std::string body;
    Put(body, kByteOrderMagic);
    Put(body, static_cast<uint16_t>(1)); // version 1.0
    Put(body, static_cast<uint16_t>(0));
    Put(body, static_cast<int64_t>(-1)); // section length not given: blocks are appended
    std::string options;
    PutOption(options, kApplicationOption, application);
    EndOptions(options);
    return Block(kSectionHeaderType, body + options);
}

std::string PcapngInterfaceBlock(const CPcapngInterface& interface) {
    std::string body;
    Put(body, interface.linkType);
    Put(body, static_cast<uint16_t>(0));
    Put(body, static_cast<uint32_t>(0)); // no snapshot length
    std::string options;
    PutOption(options, kNameOption, interface.name);
    if (!interface.description.empty())
        PutOption(options, kDescriptionOption, interface.description);
    PutOption(options, kResolutionOption, std::string(1, static_cast<char>(kMicroseconds)));
    EndOptions(options);
    return Block(kInterfaceType, body + options);
}

std::string PcapngPacketBlock(const CPcapngPacket& packet) {
    std::string body;
    const auto time = static_cast<uint64_t>(packet.timeUs);
    Put(body, packet.interfaceId);
    Put(body, static_cast<uint32_t>(time >> 32));
    Put(body, static_cast<uint32_t>(time));
    Put(body, static_cast<uint32_t>(packet.bytes.size()));
    Put(body, static_cast<uint32_t>(packet.bytes.size()));
    body.append(packet.bytes.begin(), packet.bytes.end());
    PadTo4(body);
    std::string options;
    const uint32_t flags =
        static_cast<uint32_t>(packet.direction) | (packet.lineError ? kSymbolErrorFlag : 0);
    if (flags != 0) {
        Put(options, kFlagsOption);
        Put(options, static_cast<uint16_t>(sizeof flags));
        Put(options, flags);
    }
    if (!packet.comment.empty())
        PutOption(options, kCommentOption, packet.comment);
    EndOptions(options);
    return Block(kEnhancedPacketType, body + options);
}

CRecordFormat PcapngRecords() {
    return {"packet", "packets", [](std::string_view bytes) {
                CRecordFormat::CWhole whole;
                while (bytes.size() - whole.bytes >= 12) {
                    const uint32_t length = ReadU32(bytes, whole.bytes + 4);
                    if (length < 12 || length > bytes.size() - whole.bytes)
                        break;
                    if (ReadU32(bytes, whole.bytes) == kEnhancedPacketType)
                        ++whole.counted;
                    whole.bytes += length;
                }
                return whole;
            }};
}

std::string LineErrorComment(const uint8_t* bytes, const uint8_t* marks, size_t count) {
    std::string comment;
    for (size_t i = 0; marks != nullptr && i < count; ++i) {
        if (marks[i] == static_cast<uint8_t>(LineMark::None))
            continue;
        comment += (comment.empty() ? "" : ", ") + std::string(LineErrorText(bytes[i])) +
                   " at offset " + std::to_string(i);
    }
    return comment;
}

} // namespace brivox
