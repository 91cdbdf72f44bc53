#include "capture/PcapngReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace brivox {

namespace {

constexpr uint32_t kClassicPcapMagic = 0xA1B2C3D4;
constexpr uint32_t kClassicPcapNanoMagic = 0xA1B23C4D;
constexpr size_t kHeaderSize = 8;

uint64_t UnitsPerSecond(uint8_t resolution) {
    const uint8_t exponent = resolution & 0x7F;
    if (resolution & 0x80)
        return exponent < 63 ? uint64_t{1} << exponent : 0;
    uint64_t units = 1;
    for (uint8_t i = 0; i < exponent; ++i) {
        if (units > UINT64_MAX / 10)
            return 0;
        units *= 10;
    }
    return units;
}

} // namespace

CPcapngReader::~CPcapngReader() {
    if (m_fd >= 0)
        close(m_fd);
}

std::string CPcapngReader::Open(const std::string& path) {
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0)
        return path + ": " + std::strerror(errno);
    m_path = path;
    uint32_t type = 0;
    std::vector<uint8_t> body;
    const Read first = NextBlock(type, body, true);
    if (first == Read::End)
        return path + ": an empty file, no pcapng capture";
    if (!m_inSection)
        return m_problem;
    return "";
}

CPcapngReader::Read CPcapngReader::Stop(const std::string& problem, bool cut) {
    m_problem = m_path + ": " + problem;
    m_cut = cut;
    m_stopped = true;
    return Read::Stop;
}

bool CPcapngReader::ReadExactly(void* out, size_t count, size_t& got) {
    got = 0;
    while (got < count) {
        const ssize_t n = read(m_fd, static_cast<uint8_t*>(out) + got, count - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            Stop(std::strerror(errno));
            return false;
        }
        if (n == 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

uint32_t CPcapngReader::U32(const uint8_t* at) const {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return m_swapped ? __builtin_bswap32(value) : value;
}

uint16_t CPcapngReader::U16(const uint8_t* at) const {
    uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return m_swapped ? __builtin_bswap16(value) : value;
}

CPcapngReader::Read CPcapngReader::NextBlock(uint32_t& type, std::vector<uint8_t>& body,
                                             bool withBody) {
    if (m_stopped)
        return Read::Stop;
    const std::string at = " at offset " + std::to_string(m_offset);
    uint8_t header[kHeaderSize + 4];
    size_t got = 0;
    if (!ReadExactly(header, kHeaderSize, got))
        return m_stopped  ? Read::Stop
               : got == 0 ? Read::End
                          : Stop("cut short in a block" + at, true);
    std::memcpy(&type, header, sizeof type);
    if (!m_inSection && type != kSectionHeaderType)
        return Stop(type == kClassicPcapMagic || type == kClassicPcapNanoMagic ||
                            __builtin_bswap32(type) == kClassicPcapMagic ||
                            __builtin_bswap32(type) == kClassicPcapNanoMagic
                        ? "a pcap file, not pcapng (editcap -F pcapng converts it)"
                        : "not a pcapng file");
    size_t consumed = kHeaderSize;
    if (type == kSectionHeaderType) {
        if (!ReadExactly(header + kHeaderSize, 4, got))
            return m_stopped ? Read::Stop : Stop("cut short in a block" + at, true);
        uint32_t magic;
        std::memcpy(&magic, header + kHeaderSize, sizeof magic);
        if (magic != kByteOrderMagic && __builtin_bswap32(magic) != kByteOrderMagic)
            return Stop(m_inSection ? "a damaged section header" + at : "not a pcapng file");
        m_swapped = magic != kByteOrderMagic;
        consumed += 4;
    } else {
        type = U32(header);
    }
    const uint32_t length = U32(header + 4);
    if (length < 12 + (consumed - kHeaderSize) || length % 4 != 0 || length > kMaxBlock)
        return Stop("a damaged block" + at + " (length " + std::to_string(length) + ")");
    const size_t rest = length - consumed - 4; // the body after what was read, then the length
    uint8_t trailer[4];
    if (withBody) {
        body.assign(header + kHeaderSize, header + consumed);
        body.resize(body.size() + rest);
        if (!ReadExactly(body.data() + (consumed - kHeaderSize), rest, got))
            return m_stopped ? Read::Stop : Stop("cut short in a block" + at, true);
    } else if (lseek(m_fd, static_cast<off_t>(rest), SEEK_CUR) < 0) {
        return Stop(std::strerror(errno));
    }
    if (!ReadExactly(trailer, sizeof trailer, got))
        return m_stopped ? Read::Stop : Stop("cut short in a block" + at, true);
    if (U32(trailer) != length)
        return Stop("a damaged block" + at + " (its two lengths differ)");
    m_offset += length;
    if (type == kSectionHeaderType) {
        m_inSection = true;
        m_interfaces.clear();
    }
    return Read::Block;
}

namespace {

// Calls visit(code, value, length) for each option from at to end.
void ForEachOption(const uint8_t* at, const uint8_t* end,
                   const std::function<uint16_t(const uint8_t*)>& u16,
                   const std::function<void(uint16_t, const uint8_t*, uint16_t)>& visit) {
    while (end - at >= 4) {
        const uint16_t code = u16(at);
        const uint16_t length = u16(at + 2);
        if (code == 0 || end - at - 4 < length)
            return;
        visit(code, at + 4, length);
        at += 4 + ((length + 3u) & ~3u);
    }
}

} // namespace

void CPcapngReader::AddInterface(const std::vector<uint8_t>& body) {
    CPcapngInterface interface;
    if (body.size() < 8) {
        m_interfaces.push_back(interface);
        return;
    }
    interface.linkType = U16(body.data());
    ForEachOption(
        body.data() + 8, body.data() + body.size(), [this](const uint8_t* at) { return U16(at); },
        [&](uint16_t code, const uint8_t* value, uint16_t length) {
            const std::string text(reinterpret_cast<const char*>(value), length);
            if (code == kNameOption)
                interface.name = text;
            else if (code == kDescriptionOption)
                interface.description = text;
            else if (code == kResolutionOption && length >= 1)
                interface.unitsPerSecond = UnitsPerSecond(value[0]);
        });
    m_interfaces.push_back(interface);
}

const CPcapngInterface* CPcapngReader::Interface(uint32_t id) const {
    return id < m_interfaces.size() ? &m_interfaces[id] : nullptr;
}

int64_t CPcapngReader::Microseconds(uint32_t interfaceId, uint64_t units) const {
    const CPcapngInterface* interface = Interface(interfaceId);
    if (interface == nullptr || interface->unitsPerSecond == 0)
        return -1;
    return static_cast<int64_t>(static_cast<unsigned __int128>(units) * 1000000 /
                                interface->unitsPerSecond);
}

void CPcapngReader::ReadPacketOptions(const uint8_t* at, const uint8_t* end,
                                      CPcapngPacket& packet) const {
    ForEachOption(
        at, end, [this](const uint8_t* p) { return U16(p); },
        [&](uint16_t code, const uint8_t* value, uint16_t length) {
            if (code == kFlagsOption && length == 4) {
                const uint32_t flags = U32(value);
                packet.direction = static_cast<PacketDirection>(flags & kDirectionBits);
                packet.lineError = (flags & kSymbolErrorFlag) != 0;
            } else if (code == kCommentOption) {
                packet.comment.assign(reinterpret_cast<const char*>(value), length);
            }
        });
}

bool CPcapngReader::ReadPacket(uint32_t type, const std::vector<uint8_t>& body,
                               CPcapngPacket& packet) {
    packet = {};
    const uint8_t* data = body.data();
    const uint8_t* end = data + body.size();
    if (type == kSimplePacketType) {
        if (body.size() < 4 || m_interfaces.empty())
            return false;
        packet.bytes.assign(data + 4, data + std::min<size_t>(body.size(), 4 + U32(data)));
        return true;
    }
    if (body.size() < 20)
        return false;
    packet.interfaceId = U32(data);
    const uint64_t units = (uint64_t{U32(data + 4)} << 32) | U32(data + 8);
    const uint32_t captured = U32(data + 12);
    if (captured > body.size() - 20 || Interface(packet.interfaceId) == nullptr)
        return false;
    packet.timeUs = Microseconds(packet.interfaceId, units);
    packet.bytes.assign(data + 20, data + 20 + captured);
    ReadPacketOptions(data + 20 + ((captured + 3u) & ~3u), end, packet);
    return true;
}

bool CPcapngReader::Next(CPcapngPacket& packet) {
    uint32_t type = 0;
    std::vector<uint8_t> body;
    for (;;) {
        const uint64_t start = m_offset;
        if (NextBlock(type, body, true) != Read::Block)
            return false;
        if (type == kInterfaceType) {
            AddInterface(body);
            continue;
        }
        if (type != kEnhancedPacketType && type != kSimplePacketType)
            continue;
        if (!ReadPacket(type, body, packet)) {
            Stop("a damaged packet block at offset " + std::to_string(start));
            return false;
        }
        ++m_packets;
        return true;
    }
}

void CPcapngReader::SkipToEnd() {
    uint32_t type = 0;
    std::vector<uint8_t> body;
    while (NextBlock(type, body, false) == Read::Block) {
    }
}

} // namespace brivox
