#pragma once

#include "capture/PcapngBlock.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// Reads a pcapng file block by block, in either byte order and across sections: its interfaces
// and its packets (enhanced and simple packet blocks; other blocks are skipped). Reading stops
// at the end, at a block cut short (a capture ended by a crash) or at a damaged one, and says
// which; every whole block before it has been read.
class CPcapngReader {
public:
    static constexpr uint32_t kMaxBlock = 16 * 1024 * 1024;

    CPcapngReader() = default;
    CPcapngReader(const CPcapngReader&) = delete;
    CPcapngReader& operator=(const CPcapngReader&) = delete;
    ~CPcapngReader();

    // An error text: the file cannot be read, or is no pcapng file.
    std::string Open(const std::string& path);

    // The next packet; false at the end or where the reading stopped.
    bool Next(CPcapngPacket& packet);
    // Walks the rest of the file's blocks without reading the packets in them.
    void SkipToEnd();

    // Why the reading stopped before the end: "cut short in a block at offset 4096", ...
    const std::string& Problem() const { return m_problem; }
    // The file ends inside its last block (nothing else is wrong with it).
    bool Cut() const { return m_cut; }
    // Where the last whole block read ends.
    uint64_t WholeBytes() const { return m_offset; }
    // An interface of the section the last packet belongs to; null for an unknown id.
    const CPcapngInterface* Interface(uint32_t id) const;
    int64_t PacketsRead() const { return m_packets; }

private:
    enum class Read { Block, End, Stop };
    // The next block's type and whole body (without its lengths), or only its type.
    Read NextBlock(uint32_t& type, std::vector<uint8_t>& body, bool withBody);
    bool ReadExactly(void* out, size_t count, size_t& got);
    Read Stop(const std::string& problem, bool cut = false);
    uint32_t U32(const uint8_t* at) const;
    uint16_t U16(const uint8_t* at) const;
    bool StartSection(const std::vector<uint8_t>& body);
    void AddInterface(const std::vector<uint8_t>& body);
    bool ReadPacket(uint32_t type, const std::vector<uint8_t>& body, CPcapngPacket& packet);
    void ReadPacketOptions(const uint8_t* at, const uint8_t* end, CPcapngPacket& packet) const;
    int64_t Microseconds(uint32_t interfaceId, uint64_t units) const;

    int m_fd = -1;
    std::string m_path;
    bool m_swapped = false; // the section's byte order is not this machine's
    bool m_inSection = false;
    std::vector<CPcapngInterface> m_interfaces; // of the current section
    uint64_t m_offset = 0;
    int64_t m_packets = 0;
    std::string m_problem;
    bool m_cut = false;
    bool m_stopped = false;
};

} // namespace brivox
