#pragma once

namespace brivox {

// The input modes of a session, as "GOPT.jpdkind" holds them (the Mode combo's indexes).
enum InputMode : int {
    kKeyStrokeMode = 0,
    kDetailMode = 1,
    kStringMode = 2,
    kDecimalMode = 3,
    kModbusAsciiMode = 4,
    kModbusRtuMode = 5,
    kFileMode = 6,
};

} // namespace brivox
