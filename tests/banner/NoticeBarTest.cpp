// The banner against a web server on 127.0.0.1.
#include "banner/NoticeBar.h"

#include "banner/DefaultBannerScript.h"
#include "options/OptionKeys.h"
#include "options/OptionStore.h"
#include "platform/Language.h"
#include "platform/OfflineSwitch.h"
#include "platform/Paths.h"
#include "platform/UrlOpener.h"
#include "script/ScriptRunState.h"
#include "support/HttpTestServer.h"
#include "support/PortTestSupport.h"
#include "support/QtApp.h"
#include "support/TraceCapture.h"

#include <QUrl>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace brivox {
namespace {

class NoticeBarTest : public testing::Test {
protected:
    NoticeBarTest() { m_store.SetString(opt::kBannerScript, DefaultBannerScript("eng")); }

    std::unique_ptr<CNoticeBar> MakeBar(const std::string& path = "/banner/get.php") {
        return std::make_unique<CNoticeBar>(&m_store, m_runState, DefaultBannerScript("eng"),
                                            m_server.Url(path), "brivox_main", false, true);
    }
    std::string Query() const {
        return "?ntbid=brivox_main&ntlang=" + LanguageCode() + "&efversion=142";
    }
    void CloseGate() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        m_store.SetString(opt::kBannerRequestTime, RequestTimeText(local));
    }
    static bool Idle(const CNoticeBar& bar) { return bar.Pool().GetBusyCount() == 0; }

    test::CQtAppFirst m_app;
    test::CHttpTestServer m_server;
    COptionStore m_store;
    std::shared_ptr<CScriptRunState> m_runState = std::make_shared<CScriptRunState>();
};

TEST_F(NoticeBarTest, AGoodScriptReplacesTheNoticesOncePerDay) {
    m_server.SetHandler(test::CHttpTestServer::Body("gntiscript:Hello|http://x/|10"));
    auto bar = MakeBar();
    {
        const test::CTraceCapture trace;
        bar->Init();
        ASSERT_TRUE(test::RunEventsUntil([&] { return Idle(*bar); }));
        EXPECT_EQ(trace.Lines(), std::vector<std::string>{"GNTISRequesting"});
    }
    EXPECT_TRUE(bar->LinkText() == "Dalmeno Technology" || bar->LinkText() == kMakerHost)
        << "the defaults show at once";
    ASSERT_TRUE(test::RunEventsUntil([&] { return bar->Items().size() == 1; }));
    EXPECT_EQ(m_store.GetString(opt::kBannerScript), "gntiscript:Hello|http://x/|10");
    EXPECT_EQ(m_store.GetString(opt::kBannerRequestTime).size(), 14u);
    bar->ShowCurrentItem();
    EXPECT_EQ(bar->LinkText(), "Hello");
    EXPECT_EQ(bar->Url(), "http://x/");
    ASSERT_EQ(m_server.Requests().size(), 1u);
    EXPECT_EQ(m_server.Requests()[0].rfind("GET /banner/get.php" + Query() + " HTTP/1.1", 0), 0u)
        << m_server.Requests()[0];

    auto later = MakeBar(); // a child session started in the same run
    later->Init();
    EXPECT_TRUE(test::RunEventsUntil([&] { return Idle(*later); }));
    EXPECT_EQ(m_server.Requests().size(), 1u) << "the gate is closed for 24 hours";
}

TEST_F(NoticeBarTest, AnErrorPageIsStoredThenReplacedByTheDefault) {
    m_store.SetString(opt::kBannerScript, "gntiscript:Old||10");
    m_server.SetHandler(test::CHttpTestServer::Body("<html>Not here</html>"));
    auto bar = MakeBar();
    bar->Init();
    ASSERT_TRUE(test::RunEventsUntil([&] { return bar->Items().size() == 2; }));
    EXPECT_EQ(m_store.GetString(opt::kBannerScript), DefaultBannerScript("eng"));
}

TEST_F(NoticeBarTest, AServerThatDoesNotAnswerHoldsNothingUp) {
    m_store.SetString(opt::kBannerScript, "gntiscript:Old||10");
    std::atomic<bool> answered{false};
    m_server.SetHandler([&](const std::string&, test::CHttpTestReply& reply) {
        reply.Pause(10000);
        answered = true;
    });
    auto bar = MakeBar();
    bar->Init();
    EXPECT_FALSE(Idle(*bar)) << "the request runs on its own while the window goes on";
    EXPECT_EQ(bar->LinkText(), "Old");
    ASSERT_TRUE(test::RunEventsUntil([&] { return Idle(*bar); }));
    EXPECT_FALSE(answered) << "given up after its time limit";
    EXPECT_EQ(m_store.GetString(opt::kBannerScript), "gntiscript:Old||10");
    EXPECT_EQ(bar->Items().size(), 1u);
}

TEST_F(NoticeBarTest, AClickOpensTheLinkAndReportsToTheServer) {
    CloseGate();
    std::vector<std::string> opened;
    const UrlOpener previous = SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url.toString().toStdString());
        return true;
    });
    m_store.SetString(opt::kBannerScript,
                      "gntiscript:News|http://127.0.0.1/page|86400|n7|" + m_server.Url("/hit"));
    auto bar = MakeBar();
    bar->Init();
    const test::CTraceCapture trace;
    bar->OnItemClicked();
    EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1/page"});
    EXPECT_EQ(trace.Lines(), std::vector<std::string>{"HQLine : " + m_server.Url("/hit") +
                                                      "?ntid=n7&ntbid=brivox_main&ntiindex=0"
                                                      "&ntlang=" +
                                                      LanguageCode() + "&efversion=142"});
    ASSERT_TRUE(test::RunEventsUntil([&] { return m_server.Requests().size() == 1; }));
    EXPECT_EQ(m_server.Requests()[0].rfind("GET /hit?ntid=n7&ntbid=brivox_main&ntiindex=0&ntlang=" +
                                               LanguageCode() + "&efversion=142 HTTP/1.1",
                                           0),
              0u)
        << m_server.Requests()[0];
    SetUrlOpener(previous);
}

TEST_F(NoticeBarTest, OfflineTheBarAsksAndReportsNothingAndShowsItsStoredScript) {
    const struct {
        const char* variable; // BRIVOX_OFFLINE, null for unset
        bool marker;          // the file in the settings folder
        size_t requests;      // the script's request and the click's report, when online
    } cases[] = {{nullptr, false, 2}, {"1", false, 0}, {nullptr, true, 0}, {"0", false, 2}};
    const UrlOpener previous = SetUrlOpener([](const QUrl&) { return true; });
    m_server.SetHandler(test::CHttpTestServer::Body("gntiscript:Fresh||10"));
    MakeSurePathExists(SettingsFolder());
    for (const auto& c : cases) {
        const std::string label =
            std::string(c.variable ? c.variable : "unset") + (c.marker ? " with the file" : "");
        const size_t before = m_server.Requests().size();
        auto requests = [&] { return m_server.Requests().size() - before; };
        if (c.variable != nullptr)
            setenv(kOfflineVariable, c.variable, 1);
        if (c.marker)
            test::WriteTestFile(OfflineMarkerPath(), "");
        m_store.SetString(opt::kBannerRequestTime, "");
        m_store.SetString(opt::kBannerScript,
                          "gntiscript:Stored||86400|n7|" + m_server.Url("/hit"));
        auto bar = MakeBar();
        bar->Init();
        bar->OnItemClicked();
        test::RunEventsUntil([&] { return requests() >= c.requests && Idle(*bar); }, 5000);
        test::RunEventsUntil([] { return false; }, 200); // a request would have come by now
        EXPECT_EQ(requests(), c.requests) << label;
        if (c.requests == 0) {
            EXPECT_EQ(bar->LinkText(), "Stored") << label;
        }
        unsetenv(kOfflineVariable);
        unlink(OfflineMarkerPath().c_str());
    }
    SetUrlOpener(previous);
}

TEST_F(NoticeBarTest, ClosingDuringASlowReportDoesNotWaitForIt) {
    CloseGate();
    std::atomic<bool> finished{false};
    m_server.SetHandler([&](const std::string&, test::CHttpTestReply& reply) {
        reply.Pause(4000);
        finished = true;
    });
    m_store.SetString(opt::kBannerScript, "gntiscript:News||86400|n7|" + m_server.Url("/hit"));
    auto bar = MakeBar();
    bar->Init();
    bar->OnItemClicked();
    ASSERT_TRUE(test::RunEventsUntil([&] { return m_server.Requests().size() == 1; }));
    bar.reset();
    EXPECT_FALSE(finished) << "the bar went while its report was still waiting";
}

} // namespace
} // namespace brivox
