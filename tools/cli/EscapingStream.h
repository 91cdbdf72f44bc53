#pragma once

#include <ostream>
#include <streambuf>

namespace brivox::cli {

// An output stream that passes text on to another with the bytes a terminal would act on
// escaped (EscapedText): whatever a message quotes from a file or the command line reaches the
// terminal as text, whichever message it is.
class CEscapingStream : public std::ostream {
public:
    explicit CEscapingStream(std::ostream& target);

private:
    class CBuffer : public std::streambuf {
    public:
        explicit CBuffer(std::ostream& target) : m_target(target) {}

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* text, std::streamsize count) override;
        int sync() override;

    private:
        std::ostream& m_target;
    };

    CBuffer m_buffer;
};

} // namespace brivox::cli
