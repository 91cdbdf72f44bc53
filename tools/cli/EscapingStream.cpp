#include "cli/EscapingStream.h"

#include "util/Text.h"

namespace brivox::cli {

CEscapingStream::CEscapingStream(std::ostream& target) : std::ostream(nullptr), m_buffer(target) {
    rdbuf(&m_buffer);
}

CEscapingStream::CBuffer::int_type CEscapingStream::CBuffer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    xsputn(&byte, 1);
    return m_target ? c : traits_type::eof();
}

std::streamsize CEscapingStream::CBuffer::xsputn(const char* text, std::streamsize count) {
    m_target << EscapedText({text, static_cast<size_t>(count)});
    return m_target ? count : 0;
}

int CEscapingStream::CBuffer::sync() {
    m_target.flush();
    return m_target ? 0 : -1;
}

} // namespace brivox::cli
