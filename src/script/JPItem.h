#pragma once

#include "util/ByteBuffer.h"

namespace brivox {

enum class JPItemKind : int { Expect = 0, Send = 1 };

// One run of bytes of a compiled script: to be sent, or expected back from the device.
struct CJPItem {
    CByteBuffer bytes;
    JPItemKind kind = JPItemKind::Send;
};

} // namespace brivox
