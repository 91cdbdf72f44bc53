#include "options/OptionValue.h"

namespace brivox {

COptionValue COptionValue::CopyOfKind() const {
    COptionValue copy;
    copy.name = name;
    copy.kind = kind;
    switch (kind) {
    case OptionKind::Text:
        copy.text = text;
        break;
    case OptionKind::Bytes:
        copy.bytes = bytes;
        break;
    case OptionKind::Int:
        copy.integer = integer;
        break;
    }
    return copy;
}

} // namespace brivox
