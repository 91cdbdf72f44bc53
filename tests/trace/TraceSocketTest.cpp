#include "trace/TraceSocket.h"

#include "platform/Paths.h"
#include "support/TempFolder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brivox {
namespace {

class TraceSocketTest : public testing::Test {
protected:
    test::CTempFolder m_folder;
    std::string m_path = m_folder.Path("run/XTraceWindow");
};

TEST_F(TraceSocketTest, OnlyTheFirstBindsAndOnlyItsOwnFileGoesWithIt) {
    CTraceSocket first;
    ASSERT_EQ(first.Bind(m_path), "");
    CTraceSocket second;
    EXPECT_EQ(second.Bind(m_path), "another trace window listens at " + m_path);
    EXPECT_TRUE(TraceSocketListening(m_path)) << "a refused bind leaves the first one alone";
    first.Close();
    EXPECT_FALSE(PathExists(m_path));

    ASSERT_EQ(first.Bind(m_path), "");
    unlink(m_path.c_str()); // someone removes it, and another window binds anew
    ASSERT_EQ(second.Bind(m_path), "");
    first.Close();
    EXPECT_TRUE(TraceSocketListening(m_path)) << "the first must not remove the second's file";
    second.Close();

    test::WriteTestFile(m_path, "not a socket");
    EXPECT_EQ(first.Bind(m_path), m_path + " is in the way: it is not a socket");
    EXPECT_EQ(test::ReadTestFile(m_path), "not a socket");
}

TEST_F(TraceSocketTest, AStaleSocketFileIsTakenOverUnlessAnotherProcessIsBinding) {
    MakeSurePathExists(FolderOf(m_path));
    const int crashed = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{AF_UNIX, {}};
    m_path.copy(address.sun_path, m_path.size());
    ASSERT_EQ(bind(crashed, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(crashed); // its process died without removing the file
    EXPECT_FALSE(TraceSocketListening(m_path));

    const int lock = open((m_path + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(flock(lock, LOCK_EX), 0); // another process in the middle of binding
    CTraceSocket window;
    EXPECT_EQ(window.Bind(m_path), "another trace window is starting at " + m_path);
    close(lock);
    ASSERT_EQ(window.Bind(m_path), "");
    EXPECT_TRUE(TraceSocketListening(m_path));
}

TEST_F(TraceSocketTest, DatagramsOfAnySizeAndContentArriveWhole) {
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
}

} // namespace
} // namespace brivox
