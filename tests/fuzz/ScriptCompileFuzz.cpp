// Any text compiles in the Detail, String and Decimal modes (the first byte picks the mode)
// without a crash or an out-of-bounds read, and what compiles, written back as a Detail script,
// compiles to the same items (an empty script has no Detail text).
#include "options/OptionKeys.h"
#include "script/JPScript.h"
#include "util/Text.h"

#include <cstdlib>

namespace {

std::string AsDetailScript(const std::vector<brivox::CJPItem>& items) {
    std::string text;
    for (const brivox::CJPItem& item : items) {
        const std::string bytes = brivox::HexPairs(item.bytes.ToVector());
        text += text.empty() ? "" : " ";
        text += item.kind == brivox::JPItemKind::Expect ? "<" + bytes + ">" : bytes;
    }
    return text;
}

bool SameItems(const std::vector<brivox::CJPItem>& a, const std::vector<brivox::CJPItem>& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].kind != b[i].kind || a[i].bytes.ToVector() != b[i].bytes.ToVector())
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    brivox::COptionStore options;
    options.SetInt(brivox::opt::kModeIndex, 1 + data[0] % 3);
    brivox::CJPScript script(options);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!script.Compile(text).Succeeded() || script.Items().empty())
        return 0;

    brivox::COptionStore detail;
    detail.SetInt(brivox::opt::kModeIndex, 1);
    brivox::CJPScript again(detail);
    if (!again.Compile(AsDetailScript(script.Items())).Succeeded() ||
        !SameItems(again.Items(), script.Items()))
        std::abort();
    return 0;
}
