// A transfer's progress on the command line: a bar rewritten in place on a terminal (bytes, %,
// rate, time left), plain lines at most once a second otherwise.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>

namespace brivox::cli {

class CTransferProgressLine {
public:
    // A bar only when out is the process's standard error and that is a terminal.
    CTransferProgressLine(std::ostream& out, bool isStandardError);

    void Start();
    // total: -1 while unknown; extra: more to say ("12/40 lines").
    void Show(int64_t bytes, int64_t total, const std::string& extra = "");
    // Ends the bar's line, so that what follows starts on a line of its own.
    void End();
    // The mean rate since Start, "87.2 KB/s".
    std::string RateText() const;

private:
    double Seconds() const;

    std::ostream& m_out;
    const bool m_bar;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastLine;
    int64_t m_bytes = 0;
    bool m_shown = false;
};

} // namespace brivox::cli
