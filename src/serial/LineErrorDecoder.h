#pragma once

#include <cstdint>

namespace brivox {

// A received byte's line-error mark: the driver saw a parity or framing error on it. A BREAK
// comes as a marked 00 byte, which is also how the driver reports it.
enum class LineMark : uint8_t { None = 0, Error = 1 };

// "BREAK" for a marked 00, else "Parity or framing error".
const char* LineErrorText(uint8_t value);

// Undoes the driver's PARMRK marking (termios PARMRK with INPCK, IGNPAR off): FF 00 X is X with
// an error mark (FF 00 00 is a BREAK), FF FF is a literal FF. A marking cut between two reads is
// completed by the next one.
class CLineErrorDecoder {
public:
    // In place: count raw bytes in, the plain bytes out with a LineMark each in marks (which
    // must hold count entries). Returns how many bytes came out; sets anyMarked when one is.
    int Decode(uint8_t* bytes, uint8_t* marks, int count, bool& anyMarked);

private:
    enum class State { Plain, SawEscape, SawEscapeZero };
    State m_state = State::Plain;
};

} // namespace brivox
