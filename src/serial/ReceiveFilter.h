#pragma once

#include "serial/EchoSuppressor.h"
#include "serial/LineErrorDecoder.h"

#include <memory>

namespace brivox {

// What the reader does to a read before handing it over, by the port's switches: undo the
// driver's line-error marking, then drop the RS-485 echo. Used by the reader thread alone.
class CReceiveFilter {
public:
    CReceiveFilter(bool lineErrors, std::shared_ptr<CEchoSuppressor> echo)
        : m_lineErrors(lineErrors), m_echo(std::move(echo)) {}

    // In place; marks (count entries) receives a LineMark a byte. The count kept; anyMarked
    // tells whether a kept byte has a mark.
    int Apply(uint8_t* bytes, uint8_t* marks, int count, bool& anyMarked);

private:
    const bool m_lineErrors;
    const std::shared_ptr<CEchoSuppressor> m_echo;
    CLineErrorDecoder m_decoder;
};

} // namespace brivox
