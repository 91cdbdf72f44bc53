#pragma once

#include <string>
#include <string_view>

namespace brivox {

// The text as a quoted JSON string: quotation marks, backslashes and control characters escaped.
std::string JsonString(std::string_view text);

// The text escaped for XML content and attribute values (& < > " '). What XML 1.0 cannot carry
// (control characters, bytes that are no UTF-8) becomes U+FFFD, so that any text makes a
// document every XML reader accepts.
std::string XmlText(std::string_view text);

} // namespace brivox
