#include "banner/LinkStatic.h"

#include "platform/UrlOpener.h"
#include "support/PostedMessageSink.h"
#include "support/QtApp.h"

#include <QEnterEvent>
#include <QImage>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace brivox {
namespace {

class LinkStaticTest : public testing::Test {
protected:
    LinkStaticTest() {
        m_previous = SetUrlOpener([this](const QUrl& url) {
            m_opened.push_back(url.toString().toStdString());
            return true;
        });
        m_link.SetLinkText("www.dalmeno.example");
        m_link.SetUrl("https://www.dalmeno.example/", 5);
        m_link.resize(200, 20);
        m_link.show();
    }
    ~LinkStaticTest() override { SetUrlOpener(m_previous); }

    // Whether the painted control has a pixel of exactly this colour (the underline is drawn
    // without smoothing).
    bool Painted(QColor colour) {
        const QImage image = m_link.grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (image.pixelColor(x, y).rgb() == colour.rgb())
                    return true;
            }
        }
        return false;
    }
    void Enter() {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QCoreApplication::sendEvent(&m_link, &enter);
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&m_link, &leave);
    }

    test::CQtAppFirst m_app;
    CLinkStatic m_link{true, false};
    UrlOpener m_previous;
    std::vector<std::string> m_opened;
};

TEST_F(LinkStaticTest, ColoursFollowThePointerUntilTheFirstClick) {
    const QColor normal(0, 0, 255), hover(255, 0, 0), visited(5, 34, 143);
    EXPECT_TRUE(Painted(normal));
    Enter();
    EXPECT_TRUE(Painted(hover));
    Leave();
    EXPECT_TRUE(Painted(normal)) << "restored as soon as the pointer leaves";
    EXPECT_FALSE(Painted(hover));
    QTest::mouseClick(&m_link, Qt::LeftButton);
    EXPECT_EQ(m_opened, std::vector<std::string>{"https://www.dalmeno.example/"});
    Enter();
    EXPECT_TRUE(Painted(visited)) << "visited for good, pointer or not";
    EXPECT_FALSE(Painted(hover));
    EXPECT_TRUE(m_link.font().underline());
    EXPECT_EQ(m_link.cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(LinkStaticTest, WithANotifyObjectAClickOnlyTellsIt) {
    test::CPostedMessageSink owner;
    m_link.setProperty("brivoxControlId", 1035);
    m_link.SetNotifyWindow(&owner);
    QTest::mouseClick(&m_link, Qt::LeftButton);
    EXPECT_TRUE(m_opened.empty());
    ASSERT_EQ(owner.Messages().size(), 1u);
    EXPECT_EQ(owner.Messages()[0].message, CLinkStatic::kClickedMessage);
    EXPECT_EQ(owner.Messages()[0].wParam, 1035u);
    EXPECT_TRUE(m_link.IsVisited());
}

TEST_F(LinkStaticTest, OnlyWebAddressesReachTheOpener) {
    const struct {
        const char* url;
        bool opened;
    } cases[] = {{"http://127.0.0.1/", true},      {"HTTPS://example.invalid/a", true},
                 {"file:///etc/passwd", false},    {"javascript:alert(1)", false},
                 {"/usr/bin/xterm", false},        {"", false},
                 {"ftp://example.invalid/", false}};
    for (const auto& c : cases) {
        m_opened.clear();
        EXPECT_EQ(OpenWebPage(c.url), c.opened) << c.url;
        EXPECT_EQ(m_opened.size(), c.opened ? 1u : 0u) << c.url;
    }
}

} // namespace
} // namespace brivox
