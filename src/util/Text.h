#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brivox {

// Splits at every occurrence of the separator; empty pieces are kept ("a,,b" gives three).
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// Removes blanks, tabs, CR and LF at both ends.
std::string TrimText(std::string_view text);

// Reads a leading decimal integer as C's atoi does (blanks, sign, digits), saturating at the
// 32-bit limits instead of overflowing; 0 when there are no digits.
int32_t ReadLeadingInt(std::string_view text);

// Upper-case hex pairs separated by single spaces ("0A FF").
std::string HexPairs(const std::vector<uint8_t>& bytes);

} // namespace brivox

namespace brivox {

// The value in the radix (2 to 36), upper-case letters. With a width other than -1 the digits
// are padded with "0" on the left and cut to their last width characters. A negative value keeps
// its "-" in front in radix 10 and reads as its unsigned 32-bit pattern in any other radix.
std::string FormatNumber(int32_t value, int radix, int width);

} // namespace brivox
