#include "support/TraceCapture.h"

#include "platform/DeveloperMarker.h"
#include "trace/SharedString.h"
#include "trace/TraceClient.h"
#include "util/Text.h"

#include <unistd.h>

namespace brivox::test {

CTraceCapture::CTraceCapture() : m_path(m_folder.Path("trace.txt")) {
    WriteTestFile(DeveloperMarkerPath(), "");
    trace_testing::ForgetGate();
    SetSharedString(TracePathName(getpid()), m_path);
}

CTraceCapture::~CTraceCapture() {
    ReleaseSharedString(TracePathName(getpid()));
    unlink(DeveloperMarkerPath().c_str());
    trace_testing::ForgetGate();
}

std::vector<std::string> CTraceCapture::Lines() const {
    std::vector<std::string> texts;
    for (const std::string& entry : SplitText(ReadTestFile(m_path), "\r\n\r\n")) {
        if (entry.size() >= 11) // "[hh:mm:ss] "
            texts.push_back(entry.substr(11));
    }
    return texts;
}

} // namespace brivox::test
