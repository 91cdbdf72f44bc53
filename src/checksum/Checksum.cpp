#include "checksum/Checksum.h"

#include "checksum/Crc.h"

#include <iterator>

namespace brivox {

namespace {

enum class Kind { Crc, Lrc, Sum, Xor };

struct CPreset {
    const char* name;
    Kind kind;
    CCrcParams crc;
};

// The reveng catalogue's parameters.
const CPreset kPresets[] = {
    {"crc8", Kind::Crc, {8, 0x07, 0x00, false, false, 0x00}},
    {"crc8-maxim", Kind::Crc, {8, 0x31, 0x00, true, true, 0x00}},
    {"crc16-modbus", Kind::Crc, {16, 0x8005, 0xFFFF, true, true, 0x0000}},
    {"crc16-ccitt-false", Kind::Crc, {16, 0x1021, 0xFFFF, false, false, 0x0000}},
    {"crc16-xmodem", Kind::Crc, {16, 0x1021, 0x0000, false, false, 0x0000}},
    {"crc16-kermit", Kind::Crc, {16, 0x1021, 0x0000, true, true, 0x0000}},
    {"crc32", Kind::Crc, {32, 0x04C11DB7, 0xFFFFFFFF, true, true, 0xFFFFFFFF}},
    {"crc32c", Kind::Crc, {32, 0x1EDC6F41, 0xFFFFFFFF, true, true, 0xFFFFFFFF}},
    {"lrc", Kind::Lrc, {8, 0, 0, false, false, 0}},
    {"sum8", Kind::Sum, {8, 0, 0, false, false, 0}},
    {"xor8", Kind::Xor, {8, 0, 0, false, false, 0}},
};

// Built once, on first use from any thread.
const CCrc& CrcOf(int preset) {
    static const std::vector<CCrc> crcs = [] {
        std::vector<CCrc> all;
        for (const CPreset& preset : kPresets)
            all.emplace_back(preset.crc);
        return all;
    }();
    return crcs[static_cast<size_t>(preset)];
}

} // namespace

CChecksum CChecksum::ByName(const std::string& name) {
    CChecksum checksum;
    checksum.m_name = name;
    const size_t colon = name.find(':');
    const std::string base = name.substr(0, colon);
    const std::string order = colon == std::string::npos ? "" : name.substr(colon + 1);
    for (int i = 0; i < static_cast<int>(std::size(kPresets)); ++i)
        if (base == kPresets[i].name)
            checksum.m_preset = i;
    if (checksum.m_preset < 0) {
        checksum.m_error = "unknown checksum \"" + base + "\"";
        return checksum;
    }
    const CCrcParams& params = kPresets[checksum.m_preset].crc;
    checksum.m_size = static_cast<size_t>((params.width + 7) / 8);
    checksum.m_bigEndian = !params.refout;
    if (order == "be")
        checksum.m_bigEndian = true;
    else if (order == "le")
        checksum.m_bigEndian = false;
    else if (colon != std::string::npos)
        checksum.m_error = "byte order \"" + order + "\" is neither be nor le";
    return checksum;
}

std::vector<std::string> CChecksum::Names() {
    std::vector<std::string> names;
    for (const CPreset& preset : kPresets)
        names.emplace_back(preset.name);
    return names;
}

uint64_t CChecksum::Value(const uint8_t* data, size_t size) const {
    if (!Valid())
        return 0;
    uint8_t folded = 0;
    switch (kPresets[m_preset].kind) {
    case Kind::Crc:
        return CrcOf(m_preset).Compute(data, size);
    case Kind::Lrc:
        for (size_t i = 0; i < size; ++i)
            folded = static_cast<uint8_t>(folded + data[i]);
        return static_cast<uint8_t>(-folded);
    case Kind::Sum:
        for (size_t i = 0; i < size; ++i)
            folded = static_cast<uint8_t>(folded + data[i]);
        return folded;
    case Kind::Xor:
        for (size_t i = 0; i < size; ++i)
            folded ^= data[i];
        return folded;
    }
    return 0;
}

std::vector<uint8_t> CChecksum::Bytes(const uint8_t* data, size_t size) const {
    const uint64_t value = Value(data, size);
    std::vector<uint8_t> bytes(m_size);
    for (size_t i = 0; i < m_size; ++i) {
        const size_t shift = 8 * (m_bigEndian ? m_size - 1 - i : i);
        bytes[i] = static_cast<uint8_t>(value >> shift);
    }
    return bytes;
}

} // namespace brivox
