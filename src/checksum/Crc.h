#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace brivox {

// A CRC in the catalogue's terms: width in bits (1..64), polynomial without its top bit, initial
// register, whether input bytes and the final register are reflected, and the final xor.
struct CCrcParams {
    int width;
    uint64_t poly;
    uint64_t init;
    bool refin;
    bool refout;
    uint64_t xorout;
};

// A table-driven CRC for any parameters, a byte per step.
class CCrc {
public:
    explicit CCrc(const CCrcParams& params);

    uint64_t Compute(const uint8_t* data, size_t size) const;
    int Width() const { return m_params.width; }

private:
    uint64_t Mask() const;

    CCrcParams m_params;
    // Reflected algorithms keep the register reflected, so each step shifts right.
    std::array<uint64_t, 256> m_table{};
};

} // namespace brivox
