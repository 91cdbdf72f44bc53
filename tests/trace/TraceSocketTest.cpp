#include "trace/TraceChannel.h"

#include "platform/Paths.h"
#include "support/QtApp.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brivox {
namespace {

class TraceChannelTest : public testing::Test {
protected:
    // A socket file whose process died: bound, then closed without removing it.
    void LeaveStaleSocket() {
        MakeSurePathExists(FolderOf(m_path));
        const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", m_path.c_str());
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        close(fd);
        ASSERT_TRUE(PathExists(m_path));
    }

    test::CTempFolder m_folder;
    std::string m_path = m_folder.Path("run/XTraceWindow");
};

TEST_F(TraceChannelTest, OnlyTheFirstBindsAndItsFileGoesWithIt) {
    CTraceSocket first;
    ASSERT_EQ(first.Bind(m_path), "");
    EXPECT_TRUE(TraceSocketListening(m_path));
    CTraceSocket second;
    EXPECT_EQ(second.Bind(m_path), "another trace window listens at " + m_path);
    EXPECT_TRUE(TraceSocketListening(m_path)) << "a refused bind leaves the first one alone";
    first.Close();
    EXPECT_FALSE(PathExists(m_path));
    EXPECT_FALSE(TraceSocketListening(m_path));
    EXPECT_EQ(second.Bind(m_path), "");
}

TEST_F(TraceChannelTest, AStaleSocketFileIsTakenOverUnlessAnotherProcessIsBinding) {
    LeaveStaleSocket();
    EXPECT_FALSE(TraceSocketListening(m_path)) << "a stale file is no window";
    {
        const int lock = open((m_path + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
        ASSERT_EQ(flock(lock, LOCK_EX), 0); // another process in the middle of binding
        CTraceSocket refused;
        EXPECT_EQ(refused.Bind(m_path), "another trace window is starting at " + m_path);
        EXPECT_TRUE(PathExists(m_path));
        close(lock);
    }
    CTraceSocket taker;
    ASSERT_EQ(taker.Bind(m_path), "");
    EXPECT_TRUE(TraceSocketListening(m_path));
}

TEST_F(TraceChannelTest, OnlyOurOwnSocketFileIsRemoved) {
    test::WriteTestFile(m_path, "not a socket");
    CTraceSocket blocked;
    EXPECT_EQ(blocked.Bind(m_path), m_path + " is in the way: it is not a socket");
    EXPECT_EQ(test::ReadTestFile(m_path), "not a socket");
    unlink(m_path.c_str());

    CTraceSocket first;
    ASSERT_EQ(first.Bind(m_path), "");
    unlink(m_path.c_str()); // someone removes it, and another window binds anew
    CTraceSocket second;
    ASSERT_EQ(second.Bind(m_path), "");
    first.Close();
    EXPECT_TRUE(TraceSocketListening(m_path)) << "the first must not remove the second's file";
}

TEST_F(TraceChannelTest, DatagramsOfAnySizeAndContentArriveWhole) {
    CTraceSocket window;
    ASSERT_EQ(window.Bind(m_path), "");
    std::string binary;
    for (int i = 0; i < 150'000; ++i)
        binary += static_cast<char>(i * 7);
    const std::vector<std::string> sent = {"xta1:line", "", binary, "xts:\xc3\xa9=\xff\xfe"};
    for (const std::string& command : sent)
        SendTraceDatagram(m_path, command);
    std::vector<std::string> received;
    for (std::string command; window.Receive(command);)
        received.push_back(command);
    EXPECT_EQ(received, sent);
    SendTraceDatagram(m_folder.Path("nobody"), "lost without harm");
}

TEST_F(TraceChannelTest, CommandsReachTheHandlerOnTheEventLoop) {
    test::QtApp();
    std::vector<std::string> handled;
    CTraceChannel channel([&](const std::string& command) { handled.push_back(command); });
    ASSERT_EQ(channel.Listen(m_path), "");
    EXPECT_TRUE(channel.Listening());
    for (int i = 0; i < 8; ++i)
        SendTraceDatagram(m_path, "xta1:" + std::to_string(i));
    EXPECT_TRUE(QTest::qWaitFor([&] { return handled.size() == 8; }, 5000));
    EXPECT_EQ(handled.front(), "xta1:0");
    EXPECT_EQ(handled.back(), "xta1:7");

    CTraceChannel tooLong([](const std::string&) {});
    EXPECT_EQ(tooLong.Listen(m_folder.Path(std::string(120, 'x')))
                  .rfind("the trace window's socket path is too long", 0),
              0u);
    EXPECT_FALSE(tooLong.Listening());
}

} // namespace
} // namespace brivox
