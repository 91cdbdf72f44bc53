#pragma once

#include <cstdint>
#include <vector>

namespace brivox {

inline constexpr int kTestBlockSize = 1024;

// Byte i of the test send's block: 0, 1, ..., 255, then 1, 1, 2, ..., 255, then 2, 1, ..., 255,
// then 3, 1, ..., 255.
uint8_t TestBlockByte(int index);

// The whole 1 KB block.
std::vector<uint8_t> TestBlock();

} // namespace brivox
