#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brivox {

// Splits at every occurrence of the separator; empty pieces are kept ("a,,b" gives three).
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// A word of a line; a quoted word was in quotation marks, which may hold blanks ("CD 01").
struct CWord {
    std::string text;
    bool quoted = false;
};
// Words separated by blanks and tabs; error text (a quotation mark that is not closed).
std::string SplitWords(std::string_view text, std::vector<CWord>& words);

// Removes blanks, tabs, CR and LF at both ends.
std::string TrimText(std::string_view text);

// Reads a leading decimal integer as C's atoi does (blanks, sign, digits), saturating at the
// 32-bit limits instead of overflowing; 0 when there are no digits.
int32_t ReadLeadingInt(std::string_view text);

// Upper-case hex pairs separated by single spaces ("0A FF").
std::string HexPairs(const std::vector<uint8_t>& bytes);

// Whether a terminal would act on the byte rather than show it: a control character other than
// the line break and the tab, or DEL.
bool IsTerminalControl(char c);
// The text with every such byte written as \xNN ("\x1b"), so that a message quoting input cannot
// move the cursor, set the terminal's title or clear the screen.
std::string EscapedText(std::string_view text);

// A text file as another editor may have saved it: a UTF-8 byte-order mark at the start is
// dropped. UTF-16 (a byte-order mark of its own, or ASCII with a NUL beside each character) is
// refused: an error text, empty when the text is usable.
std::string TakeTextFileBody(std::string& text);

} // namespace brivox

namespace brivox {

// The value in the radix (2 to 36), upper-case letters. With a width other than -1 the digits
// are padded with "0" on the left and cut to their last width characters. A negative value keeps
// its "-" in front in radix 10 and reads as its unsigned 32-bit pattern in any other radix.
std::string FormatNumber(int32_t value, int radix, int width);

} // namespace brivox
