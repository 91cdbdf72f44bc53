#include "serial/LineErrorDecoder.h"

namespace brivox {

namespace {

constexpr uint8_t kEscape = 0xFF;

} // namespace

const char* LineErrorText(uint8_t value) {
    return value == 0 ? "BREAK" : "Parity or framing error";
}

int CLineErrorDecoder::Decode(uint8_t* bytes, uint8_t* marks, int count, bool& anyMarked) {
    int out = 0;
    auto emit = [&](uint8_t value, LineMark mark) {
        bytes[out] = value;
        marks[out] = static_cast<uint8_t>(mark);
        anyMarked |= mark != LineMark::None;
        ++out;
    };
    for (int i = 0; i < count; ++i) {
        const uint8_t byte = bytes[i];
        switch (m_state) {
        case State::Plain:
            if (byte == kEscape)
                m_state = State::SawEscape;
            else
                emit(byte, LineMark::None);
            break;
        case State::SawEscape:
            m_state = State::Plain;
            if (byte == 0) {
                m_state = State::SawEscapeZero;
            } else {
                // FF FF is a literal FF. Nothing else follows the driver's FF; should it, the
                // byte passes and the stray FF goes, so that the output never outgrows the input.
                emit(byte, LineMark::None);
            }
            break;
        case State::SawEscapeZero:
            m_state = State::Plain;
            emit(byte, LineMark::Error);
            break;
        }
    }
    return out;
}

} // namespace brivox
