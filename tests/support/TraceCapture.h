#pragma once

#include "support/TempFolder.h"

#include <string>
#include <vector>

namespace brivox::test {

// Opens the developer trace for this process while it lives: makes the developer marker,
// publishes a trace file, and gives back the texts of the lines written (time stamps dropped).
class CTraceCapture {
public:
    CTraceCapture();
    ~CTraceCapture();
    CTraceCapture(const CTraceCapture&) = delete;
    CTraceCapture& operator=(const CTraceCapture&) = delete;

    std::vector<std::string> Lines() const;
    const std::string& FilePath() const { return m_path; }

private:
    CTempFolder m_folder;
    std::string m_path;
};

} // namespace brivox::test
