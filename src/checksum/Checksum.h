#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// A checksum chosen by name, such as "crc16-modbus", "crc32:be" or "lrc": a catalogue CRC, the
// MODBUS LRC, or an 8-bit sum or xor. ":be" and ":le" choose the byte order on the line; without
// it a CRC goes in the order its protocol sends it (reflected CRCs low byte first, the others
// high byte first).
class CChecksum {
public:
    // The checksum of that name, or an invalid one with Error() saying why.
    static CChecksum ByName(const std::string& name);
    // The names ByName accepts, without byte-order suffixes.
    static std::vector<std::string> Names();

    bool Valid() const { return m_error.empty(); }
    const std::string& Error() const { return m_error; }
    const std::string& Name() const { return m_name; }
    size_t Size() const { return m_size; }

    // The checksum of data as the bytes that go on the line.
    std::vector<uint8_t> Bytes(const uint8_t* data, size_t size) const;
    // The checksum's value, for checking against a catalogue.
    uint64_t Value(const uint8_t* data, size_t size) const;

private:
    std::string m_name;
    std::string m_error;
    int m_preset = -1;
    size_t m_size = 0;
    bool m_bigEndian = false;
};

} // namespace brivox
