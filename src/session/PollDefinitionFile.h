#pragma once

#include "modbus/ModbusPoll.h"
#include "modbus/ModbusValues.h"

#include <map>
#include <string>

namespace brivox {

// What a poll window shows: the block it reads, how the values are read, and the names the user
// gave its addresses.
struct CPollWindowDefinition {
    CModbusPollDefinition poll;
    CModbusValueFormat values;
    std::map<int, std::string> aliases; // by address
};

// Poll windows' definitions, one file a block (slave, function, start) in the settings folder's
// polls/, each written whole and atomically: "key=value" lines, then "alias ADDRESS=NAME" ones.
class CPollDefinitionFiles {
public:
    explicit CPollDefinitionFiles(std::string folder) : m_folder(std::move(folder)) {}

    // Error text, empty when written.
    std::string Save(const CPollWindowDefinition& definition) const;
    // The block's file, when there is one; false otherwise (definition untouched).
    bool Load(int slave, int function, int start, CPollWindowDefinition& definition) const;
    // The file written last; false when there is none.
    bool LoadLatest(CPollWindowDefinition& definition) const;

    static std::string Format(const CPollWindowDefinition& definition);
    // Lines that are not understood are skipped: a hand-edited file never stops the window.
    static CPollWindowDefinition Parse(const std::string& text);

private:
    std::string PathOf(int slave, int function, int start) const;

    const std::string m_folder;
};

} // namespace brivox
