#include "cli/ScriptOutput.h"

#include "util/Text.h"

#include <ostream>

namespace brivox::cli {

void PrintItems(std::ostream& out, const std::vector<CJPItem>& items) {
    for (const CJPItem& item : items) {
        out << (item.kind == JPItemKind::Send ? "send" : "expect");
        if (!item.bytes.IsEmpty())
            out << " " << HexPairs(item.bytes.ToVector());
        out << "\n";
    }
}

} // namespace brivox::cli
