#pragma once

#include <string>
#include <vector>

namespace brivox::test {

// The one preference that makes Wireshark decode User 0 as MODBUS RTU.
inline constexpr char kUser0AsModbusRtu[] =
    R"dlt(uat:user_dlts:"User 0 (DLT=147)","mbrtu","0","","0","")dlt";

// Debian's tshark run on a capture file with the arguments after "-r FILE": its exit code, its
// output lines and what it said on standard error (its warning about running as root left out).
struct CTsharkRun {
    int code = -1;
    std::vector<std::string> lines;
    std::string errors;
};
CTsharkRun RunTshark(const std::string& file, const std::vector<std::string>& args);

} // namespace brivox::test
