#pragma once

#include "options/OptionStore.h"
#include "script/JPItem.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace brivox {

// Result of a compile: an empty message for success, else the message and the index of the
// character at which compilation stopped (-1 on success).
struct CCompileResult {
    std::string message;
    int position = -1;
    bool Succeeded() const { return message.empty(); }
};

// A compiled send script: items in order, neighbouring items never of the same kind. The
// options (the input mode and MODBUS fields) come from the owning session's store.
class CJPScript {
public:
    static constexpr int kFileTransferLimit = 1024;

    explicit CJPScript(const COptionStore& options) : m_options(options) {}

    // Compiles per "GOPT.jpdkind": 1 Detail, 2 String, 3 Decimal; any other mode leaves the
    // list untouched and succeeds. The caller passes text trimmed of surrounding white space.
    CCompileResult Compile(std::string_view text);
    CCompileResult CompileDetail(std::string_view text);
    CCompileResult CompileString(std::string_view text);
    CCompileResult CompileDecimal(std::string_view text);

    // Reads an open file from its start as one send item, at most 1024 bytes when limited.
    // Returns an error text, empty on success; count receives the number of bytes taken.
    std::string CompileFile(int fd, bool limit, int& count);

    void AppendByte(uint8_t value, JPItemKind kind);
    void AppendBytes(const uint8_t* data, int32_t length, JPItemKind kind);
    // asCharacters: each character is one byte; else pairs of hex digits ("0103" is 01 03), a
    // trailing odd character ignored.
    void AppendText(std::string_view text, JPItemKind kind, bool asCharacters);
    void Clear() { m_items.clear(); }

    const std::vector<CJPItem>& Items() const { return m_items; }
    // The items, moved out: the script is empty afterwards.
    std::vector<CJPItem> TakeItems() { return std::exchange(m_items, {}); }
    const COptionStore& Options() const { return m_options; }

private:
    CJPItem& ItemFor(JPItemKind kind);

    const COptionStore& m_options;
    std::vector<CJPItem> m_items;
};

// The value of the leading hexadecimal digits of a text (reading stops at the first other
// character, so "ZZ" is 0 and "5Z" is 5).
uint32_t ReadHexPrefix(std::string_view text);

} // namespace brivox
