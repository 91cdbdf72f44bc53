#include "session/TestBlock.h"

namespace brivox {

uint8_t TestBlockByte(int index) {
    return static_cast<uint8_t>(index % 256 == 0 ? index / 256 : index % 256);
}

std::vector<uint8_t> TestBlock() {
    std::vector<uint8_t> block;
    for (int i = 0; i < kTestBlockSize; ++i)
        block.push_back(TestBlockByte(i));
    return block;
}

} // namespace brivox
