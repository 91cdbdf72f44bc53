// What lrzsz says of a transfer as it goes, read from the status lines it writes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace brivox {

struct CTransferProgress {
    int64_t bytes = 0;          // of the files, so far
    int64_t total = -1;         // of the files; -1 while unknown
    int64_t bytesPerSecond = 0; // as lrzsz measures it; 0 while unknown
};

// The mean rate of bytes in seconds, "87.2 KB/s" (0 while no time has passed).
std::string RateText(int64_t bytes, double seconds);

// Takes one status line ("Bytes Sent:   1024/ 100000   BPS:1268823  ETA 00:00",
// "Bytes received: ...", "Xmodem sectors/kbytes sent:   8/ 1k") into progress; false for any
// other text, which leaves progress as it was.
bool ReadLrzszStatus(std::string_view line, CTransferProgress& progress);

// lrzsz rewrites its status line with carriage returns; this cuts what it writes into lines at
// CR and LF, keeping an unfinished line for the next bytes. Empty lines are dropped.
class CStatusLines {
public:
    std::vector<std::string> Feed(std::string_view text);
    // The last non-empty line seen: lrzsz's last word on a failed transfer.
    const std::string& LastLine() const { return m_last; }

private:
    std::string m_partial;
    std::string m_last;
};

} // namespace brivox
