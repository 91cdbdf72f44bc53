#include "serial/ReceiveFilter.h"

#include <algorithm>

namespace brivox {

int CReceiveFilter::Apply(uint8_t* bytes, uint8_t* marks, int count, bool& anyMarked) {
    anyMarked = false;
    if (m_lineErrors)
        count = m_decoder.Decode(bytes, marks, count, anyMarked);
    if (m_echo)
        count = m_echo->Filter(bytes, anyMarked ? marks : nullptr, count);
    if (anyMarked)
        anyMarked = std::any_of(marks, marks + count, [](uint8_t mark) { return mark != 0; });
    return count;
}

} // namespace brivox
