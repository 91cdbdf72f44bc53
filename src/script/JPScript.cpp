#include "script/JPScript.h"

#include "options/OptionKeys.h"
#include "script/DetailCompiler.h"
#include "script/InputMode.h"
#include "util/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <unistd.h>

namespace brivox {

uint32_t ReadHexPrefix(std::string_view text) {
    uint32_t value = 0;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            break;
        const int digit = std::isdigit(static_cast<unsigned char>(c))
                              ? c - '0'
                              : std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

CCompileResult CJPScript::Compile(std::string_view text) {
    switch (m_options.GetInt(opt::kModeIndex, 0)) {
    case kDetailMode:
        return CompileDetail(text);
    case kStringMode:
        return CompileString(text);
    case kDecimalMode:
        return CompileDecimal(text);
    default:
        return {};
    }
}

CCompileResult CJPScript::CompileDetail(std::string_view text) {
    Clear();
    // Each group of expected bytes makes at most two items: growing the list would hold it
    // twice for a moment, which a long script of tiny items cannot afford.
    m_items.reserve(2 * static_cast<size_t>(std::count(text.begin(), text.end(), '<')) + 1);
    return CDetailCompiler(*this).Run(text);
}

CCompileResult CJPScript::CompileString(std::string_view text) {
    Clear();
    AppendText(text, JPItemKind::Send, true);
    return {};
}

CCompileResult CJPScript::CompileDecimal(std::string_view text) {
    Clear();
    if (text.empty())
        return {};
    int fieldStart = 0;
    for (const std::string& field : SplitText(text, " ")) {
        // Only a sign and digits at the field's very start count: a tab there reads as 0.
        const bool startsBlank =
            !field.empty() && std::isspace(static_cast<unsigned char>(field[0]));
        const int32_t byte = startsBlank ? 0 : ReadLeadingInt(field);
        if (byte < 0 || byte > 255)
            return {"Value out of range.", fieldStart};
        AppendByte(static_cast<uint8_t>(byte), JPItemKind::Send);
        fieldStart += static_cast<int>(field.size()) + 1;
    }
    return {};
}

std::string CJPScript::CompileFile(int fd, bool limit, int& count) {
    Clear();
    count = 0;
    const off_t length = lseek(fd, 0, SEEK_END);
    if (length < 0 || lseek(fd, 0, SEEK_SET) < 0)
        return "Cannot read the file";
    const int64_t wanted = limit && length >= kFileTransferLimit ? kFileTransferLimit : length;
    CJPItem item;
    if (wanted > 0 && !item.bytes.ReadFrom(fd, 0, wanted))
        return "Cannot read the file";
    m_items.push_back(std::move(item));
    count = static_cast<int>(wanted);
    return "";
}

CJPItem& CJPScript::ItemFor(JPItemKind kind) {
    if (!m_items.empty() && (m_items.back().bytes.IsEmpty() || m_items.back().kind == kind)) {
        m_items.back().kind = kind; // an empty item takes the kind of its first byte
        return m_items.back();
    }
    // A finished item keeps only its bytes, not the step it grew by.
    if (!m_items.empty())
        m_items.back().bytes.Compact();
    m_items.push_back(CJPItem{{}, kind});
    return m_items.back();
}

void CJPScript::AppendByte(uint8_t value, JPItemKind kind) {
    ItemFor(kind).bytes.AppendByte(value);
}

void CJPScript::AppendBytes(const uint8_t* data, int32_t length, JPItemKind kind) {
    if (length > 0)
        ItemFor(kind).bytes.Append(data, length);
}

void CJPScript::AppendText(std::string_view text, JPItemKind kind, bool asCharacters) {
    if (asCharacters) {
        AppendBytes(reinterpret_cast<const uint8_t*>(text.data()),
                    static_cast<int32_t>(text.size()), kind);
        return;
    }
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        AppendByte(static_cast<uint8_t>(ReadHexPrefix(text.substr(i, 2))), kind);
}

} // namespace brivox
