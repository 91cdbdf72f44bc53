#include "trace/TraceClient.h"

#include "platform/DeveloperMarker.h"
#include "platform/Paths.h"
#include "support/TempFolder.h"
#include "trace/SharedString.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace brivox {
namespace {

class TraceClientTest : public testing::Test {
protected:
    void SetUp() override {
        trace_testing::ForgetGate();
        m_tracePath = m_folder.Path("logs/trace.txt");
    }
    void TearDown() override {
        ReleaseSharedString(TracePathName(getpid()));
        unlink(DeveloperMarkerPath().c_str());
        trace_testing::ForgetGate();
    }
    void CreateMarker() { test::WriteTestFile(DeveloperMarkerPath(), ""); }
    void PublishPath() { ASSERT_TRUE(SetSharedString(TracePathName(getpid()), m_tracePath)); }

    test::CTempFolder m_folder;
    std::string m_tracePath;
};

TEST_F(TraceClientTest, WithoutTheMarkerNothingIsWritten) {
    PublishPath();
    EXPECT_EQ(TraceLine("hidden"), 1);
    EXPECT_FALSE(TraceGateOpen());
    EXPECT_EQ(test::ReadTestFile(m_tracePath), "");
}

TEST_F(TraceClientTest, WithTheMarkerButNoPublishedPathLinesAreDropped) {
    CreateMarker();
    EXPECT_EQ(TraceLine("dropped"), 1);
    EXPECT_TRUE(TraceGateOpen());
}

TEST_F(TraceClientTest, LinesAreTimeStampedAndSeparatedByEmptyLines) {
    CreateMarker();
    PublishPath();
    EXPECT_EQ(TraceLine("JPExecute 1.0"), 1);
    EXPECT_EQ(TraceLine("plus 0A"), 1);
    const std::string text = test::ReadTestFile(m_tracePath);
    ASSERT_EQ(text.size(), 2 * (11 + 4) + 13 + 7) << text;
    EXPECT_EQ(text[0], '[');
    EXPECT_EQ(text.substr(9, 19), "] JPExecute 1.0\r\n\r\n");
    EXPECT_EQ(text.substr(28 + 9), "] plus 0A\r\n\r\n");
}

TEST_F(TraceClientTest, TheGateIsDecidedOncePerProcess) {
    EXPECT_FALSE(TraceGateOpen());
    CreateMarker();
    PublishPath();
    EXPECT_FALSE(TraceGateOpen()) << "a marker made later is not seen";
    TraceLine("late");
    EXPECT_EQ(test::ReadTestFile(m_tracePath), "");
}

TEST_F(TraceClientTest, AnUnwritableTraceFileReturnsZero) {
    CreateMarker();
    test::WriteTestFile(m_folder.Path("blocker"), "");
    ASSERT_TRUE(SetSharedString(TracePathName(getpid()), m_folder.Path("blocker/trace.txt")));
    EXPECT_EQ(TraceLine("nowhere"), 0);
}

TEST_F(TraceClientTest, LinesFromSeveralThreadsStayWhole) {
    CreateMarker();
    PublishPath();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 50; ++i)
                TraceLine(std::string(100, static_cast<char>('a' + t)));
        });
    for (auto& thread : threads)
        thread.join();
    const std::string text = test::ReadTestFile(m_tracePath);
    const size_t lineSize = 11 + 100 + 4;
    ASSERT_EQ(text.size(), 200 * lineSize);
    for (size_t at = 0; at < text.size(); at += lineSize) {
        const char letter = text[at + 11];
        EXPECT_EQ(text.substr(at + 11, 100), std::string(100, letter));
    }
}

// A stand-in trace window: a datagram socket at the trace window's address.
class CTraceWindowSocket {
public:
    CTraceWindowSocket() {
        MakeSurePathExists(FolderOf(TraceWindowSocketPath()));
        m_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s",
                      TraceWindowSocketPath().c_str());
        bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ~CTraceWindowSocket() {
        close(m_fd);
        unlink(TraceWindowSocketPath().c_str());
    }
    std::vector<std::string> Received() {
        std::vector<std::string> commands;
        char buffer[512];
        for (ssize_t got; (got = recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            commands.emplace_back(buffer, static_cast<size_t>(got));
        return commands;
    }

private:
    int m_fd = -1;
};

TEST_F(TraceClientTest, WindowLinesGoToATraceWindowFoundAtTheFirstLine) {
    CreateMarker();
    {
        CTraceWindowSocket window;
        TraceToWindow("trying to open port 3", false);
        TraceToWindow("stamped", true);
        EXPECT_EQ(window.Received(),
                  (std::vector<std::string>{"xta1:trying to open port 3", "xta1t:stamped"}));
    }
    trace_testing::ForgetGate();
    TraceToWindow("nobody listens", false); // the search finds nothing
    CTraceWindowSocket late;
    TraceToWindow("too late", false);
    EXPECT_TRUE(late.Received().empty()) << "a window that appears later is not found";
}

TEST_F(TraceClientTest, WindowLinesNeedTheMarker) {
    CTraceWindowSocket window;
    TraceToWindow("hidden", false);
    EXPECT_TRUE(window.Received().empty());
}

TEST(FormatTraceLineTest, TwoDigitFields) {
    std::tm time{};
    time.tm_hour = 9;
    time.tm_min = 5;
    time.tm_sec = 3;
    EXPECT_EQ(FormatTraceLine(time, "text"), "[09:05:03] text\r\n\r\n");
    time.tm_hour = 23;
    EXPECT_EQ(FormatTraceLine(time, ""), "[23:05:03] \r\n\r\n");
}

} // namespace
} // namespace brivox
