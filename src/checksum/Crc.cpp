#include "checksum/Crc.h"

namespace brivox {

namespace {

uint64_t Reflect(uint64_t value, int width) {
    uint64_t result = 0;
    for (int bit = 0; bit < width; ++bit)
        if (value & (uint64_t{1} << bit))
            result |= uint64_t{1} << (width - 1 - bit);
    return result;
}

} // namespace

CCrc::CCrc(const CCrcParams& params) : m_params(params) {
    const int width = m_params.width;
    const uint64_t top = uint64_t{1} << (width - 1);
    const uint64_t poly = m_params.poly & Mask();
    const uint64_t reflectedPoly = Reflect(poly, width);
    for (uint64_t index = 0; index < 256; ++index) {
        uint64_t reg;
        if (m_params.refin) {
            reg = index;
            for (int bit = 0; bit < 8; ++bit)
                reg = (reg & 1) ? (reg >> 1) ^ reflectedPoly : reg >> 1;
        } else {
            // The byte enters at the top of the register; narrow CRCs work on a widened one.
            reg = width >= 8 ? index << (width - 8) : index;
            for (int bit = 0; bit < 8; ++bit) {
                const uint64_t high = width >= 8 ? top : uint64_t{0x80};
                const bool feedback = reg & high;
                reg <<= 1;
                if (feedback)
                    reg ^= width >= 8 ? poly : poly << (8 - width);
            }
            if (width < 8)
                reg >>= 8 - width;
        }
        m_table[index] = reg & Mask();
    }
}

uint64_t CCrc::Mask() const {
    return m_params.width == 64 ? ~uint64_t{0} : (uint64_t{1} << m_params.width) - 1;
}

uint64_t CCrc::Compute(const uint8_t* data, size_t size) const {
    const int width = m_params.width;
    const uint64_t mask = Mask();
    uint64_t reg = m_params.init & mask;
    if (m_params.refin) {
        reg = Reflect(reg, width);
        for (size_t i = 0; i < size; ++i)
            reg = (reg >> 8) ^ m_table[(reg ^ data[i]) & 0xFF];
        if (!m_params.refout)
            reg = Reflect(reg, width);
    } else if (width >= 8) {
        for (size_t i = 0; i < size; ++i)
            reg = ((reg << 8) ^ m_table[((reg >> (width - 8)) ^ data[i]) & 0xFF]) & mask;
        if (m_params.refout)
            reg = Reflect(reg, width);
    } else {
        for (size_t i = 0; i < size; ++i)
            reg = m_table[((reg << (8 - width)) ^ data[i]) & 0xFF];
        if (m_params.refout)
            reg = Reflect(reg, width);
    }
    return (reg ^ m_params.xorout) & mask;
}

} // namespace brivox
