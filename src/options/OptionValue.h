#pragma once

#include "util/ByteBuffer.h"

#include <cstdint>
#include <string>

namespace brivox {

enum class OptionKind : uint8_t { Text = 1, Bytes = 2, Int = 3 };

// One named, typed entry of an option store. Only the slot of its kind is meaningful.
struct COptionValue {
    std::string name;
    OptionKind kind = OptionKind::Int;
    std::string text;
    CByteBuffer bytes;
    int32_t integer = 0;

    // Copies the name, the kind and the slot of that kind.
    COptionValue CopyOfKind() const;
};

} // namespace brivox
