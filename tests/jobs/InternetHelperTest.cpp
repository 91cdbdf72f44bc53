#include "jobs/InternetHelper.h"

#include "jobs/FxMLThreadPool.h"
#include "jobs/JobTestSupport.h"
#include "support/HttpTestServer.h"
#include "support/PostedMessageSink.h"
#include "support/UnreachablePeer.h"

#include <QCoreApplication>
#include <cstdlib>
#include <gtest/gtest.h>

namespace brivox {
namespace {

using test::CHttpTestReply;
using test::CHttpTestServer;
using test::MillisecondsSince;
using test::WaitUntil;
using Clock = std::chrono::steady_clock;

class ReadUrlTextTest : public testing::Test {
protected:
    void SetUp() override {
        // The fetch honours the system's proxy settings; the local test server must be reached
        // directly whatever the machine has configured.
        for (const char* name :
             {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            unsetenv(name);
    }

    int Read(const std::string& url, std::string& text, const std::atomic<int>* keepGoing = nullptr,
             int timeLimitMs = 3000) {
        return ReadUrlText(url, text, keepGoing, timeLimitMs, nullptr, 0);
    }

    CHttpTestServer m_server;
};

TEST_F(ReadUrlTextTest, ThreeLinesAreJoinedWithoutTheirNewlines) {
    m_server.SetHandler(CHttpTestServer::Body("a\nb\nc\n"));
    std::string text = "old";
    EXPECT_EQ(Read(m_server.Url("/banner"), text), 1);
    EXPECT_EQ(text, "abc");
}

TEST_F(ReadUrlTextTest, CarriageReturnsBeforeTheNewlinesStay) {
    m_server.SetHandler(CHttpTestServer::Body("a\r\nb\r\nc\r\n"));
    std::string text;
    EXPECT_EQ(Read(m_server.Url(), text), 1);
    EXPECT_EQ(text, "a\rb\rc\r");
}

TEST_F(ReadUrlTextTest, ALastLineWithoutNewlineAndEmptyLinesAreRead) {
    m_server.SetHandler(CHttpTestServer::Body("a\n\nb\rc"));
    std::string text;
    EXPECT_EQ(Read(m_server.Url(), text), 1);
    EXPECT_EQ(text, "ab\rc");
}

TEST_F(ReadUrlTextTest, AnEmptyBodyGivesOneAndAnEmptyText) {
    m_server.SetHandler(CHttpTestServer::Body(""));
    std::string text = "old";
    EXPECT_EQ(Read(m_server.Url(), text), 1);
    EXPECT_EQ(text, "");
}

TEST_F(ReadUrlTextTest, ALongBodyArrivesWhole) {
    std::string body, expected;
    for (int i = 0; i < 50000; ++i) {
        body += "line " + std::to_string(i) + "\n";
        expected += "line " + std::to_string(i);
    }
    m_server.SetHandler(CHttpTestServer::Body(body));
    std::string text;
    EXPECT_EQ(Read(m_server.Url(), text, nullptr, 10000), 1);
    EXPECT_EQ(text, expected);
}

TEST_F(ReadUrlTextTest, TheRequestIsAGetWithTheApplicationsNameAsAgent) {
    std::string text;
    ASSERT_EQ(Read(m_server.Url("/banner/get.php?v=142&lang=eng"), text), 1);
    const std::vector<std::string> requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind("GET /banner/get.php?v=142&lang=eng HTTP/1.1\r\n", 0), 0u)
        << requests[0];
    EXPECT_NE(requests[0].find("\r\nUser-Agent: Brivox\r\n"), std::string::npos) << requests[0];
    EXPECT_STREQ(kInternetAgentName, "Brivox");
}

TEST_F(ReadUrlTextTest, AKeepGoingFlagAtZeroStopsAfterTheFirstLine) {
    m_server.SetHandler(CHttpTestServer::Body("first\nsecond\nthird\n"));
    std::atomic<int> keepGoing{0};
    std::string text = "old";
    EXPECT_EQ(Read(m_server.Url(), text, &keepGoing), 0);
    EXPECT_EQ(text, "first");

    keepGoing = 1;
    EXPECT_EQ(Read(m_server.Url(), text, &keepGoing), 1);
    EXPECT_EQ(text, "firstsecondthird");
}

TEST_F(ReadUrlTextTest, AKeepGoingFlagClearedWhileReadingStopsAtTheNextLine) {
    std::atomic<int> keepGoing{1};
    m_server.SetHandler([&](const std::string&, CHttpTestReply& reply) {
        reply.Send(CHttpTestServer::Head() + "one\n");
        reply.Pause(200);
        keepGoing = 0; // as the host does on shut-down
        reply.Send("two\nthree\n");
    });
    std::string text;
    EXPECT_EQ(Read(m_server.Url(), text, &keepGoing), 0);
    EXPECT_EQ(text, "onetwo");
}

TEST_F(ReadUrlTextTest, AProgressMessageIsPostedForEachLine) {
    int argc = 1;
    char name[] = "jobs_tests";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    test::CPostedMessageSink sink;
    m_server.SetHandler(CHttpTestServer::Body("a\nb\nc"));
    std::string text;
    EXPECT_EQ(ReadUrlText(m_server.Url(), text, nullptr, 3000, &sink, 0x0600), 1);
    QCoreApplication::processEvents();
    ASSERT_EQ(sink.Messages().size(), 3u);
    for (const auto& message : sink.Messages()) {
        EXPECT_EQ(message.message, 0x0600u);
        EXPECT_EQ(message.wParam, 0u);
        EXPECT_EQ(message.lParam, 0);
    }

    // No message number, no message.
    EXPECT_EQ(ReadUrlText(m_server.Url(), text, nullptr, 3000, &sink, 0), 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(sink.Messages().size(), 3u);
}

TEST_F(ReadUrlTextTest, AnUnusedPortLeavesTheTextUnchanged) {
    std::string text = "unchanged";
    const std::string url =
        "http://127.0.0.1:" + std::to_string(CHttpTestServer::UnusedPort()) + "/";
    EXPECT_EQ(Read(url, text), 0);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(ReadUrlTextTest, AnUnreachableAddressGivesUpWithinTheTimeLimit) {
    const test::CUnreachablePeer peer;
    std::string text = "unchanged";
    const auto start = Clock::now();
    const std::string url = "http://127.0.0.1:" + std::to_string(peer.Port()) + "/";
    EXPECT_EQ(Read(url, text, nullptr, 300), 0);
    EXPECT_LT(MillisecondsSince(start), 2500.0);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(ReadUrlTextTest, AMalformedHostLeavesTheTextUnchanged) {
    std::string text = "unchanged";
    EXPECT_EQ(Read("http://no such host/banner", text, nullptr, 1000), 0);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(ReadUrlTextTest, OnlyHttpAndHttpsUrlsAreFetched) {
    const std::string port = std::to_string(m_server.Port());
    for (const std::string& url :
         {"ftp://127.0.0.1:" + port + "/", std::string("file:///etc/hostname"),
          "127.0.0.1:" + port + "/", std::string(""), std::string("http//127.0.0.1/")}) {
        std::string text = "unchanged";
        EXPECT_EQ(Read(url, text), 0) << url;
        EXPECT_EQ(text, "unchanged") << url;
    }
    EXPECT_TRUE(m_server.Requests().empty());

    std::string text;
    EXPECT_EQ(Read("HTTP://127.0.0.1:" + port + "/", text), 1); // the scheme in any case
}

TEST_F(ReadUrlTextTest, AServerThatStallsMidLineIsCutOffAtTheTimeLimit) {
    m_server.SetHandler([](const std::string&, CHttpTestReply& reply) {
        reply.Send(CHttpTestServer::Head() + "ab\ncd");
        reply.Pause(30000);
    });
    std::string text = "old";
    const auto start = Clock::now();
    EXPECT_EQ(Read(m_server.Url(), text, nullptr, 500), 0);
    const double elapsed = MillisecondsSince(start);
    EXPECT_GE(elapsed, 450.0);
    EXPECT_LT(elapsed, 2500.0);
    EXPECT_EQ(text, "ab"); // the cut line is not taken
}

TEST_F(ReadUrlTextTest, AServerThatNeverAnswersLeavesTheTextUnchanged) {
    m_server.SetHandler([](const std::string&, CHttpTestReply& reply) { reply.Pause(30000); });
    std::string text = "unchanged";
    const auto start = Clock::now();
    EXPECT_EQ(Read(m_server.Url(), text, nullptr, 400), 0);
    EXPECT_LT(MillisecondsSince(start), 2500.0);
    EXPECT_EQ(text, "unchanged");
}

TEST_F(ReadUrlTextTest, AnAnswerWithoutBodyInTimeGivesZeroAndAnEmptyText) {
    m_server.SetHandler([](const std::string&, CHttpTestReply& reply) {
        reply.Send(CHttpTestServer::Head());
        reply.Pause(30000);
    });
    std::string text = "old";
    EXPECT_EQ(Read(m_server.Url(), text, nullptr, 400), 0);
    EXPECT_EQ(text, "");
}

TEST_F(ReadUrlTextTest, ALineAfterTheTimeLimitIsNotTaken) {
    m_server.SetHandler([](const std::string&, CHttpTestReply& reply) {
        reply.Send(CHttpTestServer::Head() + "early\n");
        reply.Pause(700);
        reply.Send("late\n");
    });
    std::string text;
    EXPECT_EQ(Read(m_server.Url(), text, nullptr, 300), 0);
    EXPECT_EQ(text, "early");
}

TEST_F(ReadUrlTextTest, RedirectsAreFollowed) {
    m_server.SetHandler([this](const std::string& head, CHttpTestReply& reply) {
        if (head.rfind("GET /old ", 0) == 0)
            reply.Send(CHttpTestServer::Head(302, "Location: " + m_server.Url("/new") + "\r\n") +
                       "moved\n");
        else
            reply.Send(CHttpTestServer::Head() + "here\n");
    });
    std::string text;
    EXPECT_EQ(Read(m_server.Url("/old"), text), 1);
    EXPECT_EQ(text, "here");
    EXPECT_EQ(m_server.Requests().size(), 2u);
}

TEST_F(ReadUrlTextTest, TheBodyOfAnErrorAnswerIsReadLikeAnyOther) {
    m_server.SetHandler([](const std::string&, CHttpTestReply& reply) {
        reply.Send(CHttpTestServer::Head(404) + "missing\n");
    });
    std::string text;
    EXPECT_EQ(Read(m_server.Url(), text), 1);
    EXPECT_EQ(text, "missing");
}

// The way the banner uses it: on a pool's worker, with the host's keep-going flag.
TEST_F(ReadUrlTextTest, JobsOnAPoolFetchAtTheSameTime) {
    int argc = 1;
    char name[] = "jobs_tests";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    m_server.SetHandler(CHttpTestServer::Body("x\ny\n"));
    auto keepGoing = std::make_shared<std::atomic<int>>(1);
    CFxMLThreadPool pool;
    ASSERT_EQ(pool.Start(30, 10, 10), 1);
    std::vector<std::string> texts;
    const std::string url = m_server.Url();
    for (int i = 0; i < 8; ++i) {
        COptionStore record;
        record.SetInt("index", i);
        ASSERT_NE(pool.Submit(
                      [keepGoing, url](COptionStore* values) {
                          std::string text;
                          values->SetInt("result", ReadUrlText(url, text, keepGoing.get(), 3000));
                          values->SetString("text", text);
                      },
                      [&texts](COptionStore* values) {
                          if (values->GetInt("result", 0) == 1)
                              texts.push_back(values->GetString("text"));
                      },
                      &record),
                  0u);
    }
    ASSERT_TRUE(WaitUntil([&] { return pool.GetBusyCount() == 0; }));
    pool.Sweep();
    EXPECT_EQ(texts, std::vector<std::string>(8, "xy"));
}

} // namespace
} // namespace brivox
