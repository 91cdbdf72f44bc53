#include "platform/PostedMessage.h"

#include "support/PostedMessageSink.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <thread>

namespace brivox {
namespace {

TEST(PostedMessageTest, MessagesFromAnyThreadArriveInOrderOnTheReceiversThread) {
    int argc = 1;
    char name[] = "platform_tests";
    char* argv[] = {name};
    QCoreApplication app(argc, argv);
    test::CPostedMessageSink sink;

    EXPECT_TRUE(PostWindowMessage(&sink, 0x0507, 0x41, 1));
    std::thread worker([&] {
        for (uintptr_t byte = 0; byte < 100; ++byte)
            PostWindowMessage(&sink, 0x0507, byte, 2);
    });
    worker.join();
    EXPECT_TRUE(sink.Messages().empty()); // nothing is handled before the loop runs
    QCoreApplication::processEvents();

    ASSERT_EQ(sink.Messages().size(), 101u);
    EXPECT_EQ(sink.Messages()[0].message, 0x0507u);
    EXPECT_EQ(sink.Messages()[0].wParam, 0x41u);
    EXPECT_EQ(sink.Messages()[0].lParam, 1);
    for (size_t i = 1; i < sink.Messages().size(); ++i) {
        EXPECT_EQ(sink.Messages()[i].wParam, i - 1);
        EXPECT_EQ(sink.Messages()[i].lParam, 2);
        EXPECT_EQ(sink.Messages()[i].handledOn, std::this_thread::get_id());
    }
}

TEST(PostedMessageTest, ANullReceiverTakesNothing) {
    EXPECT_FALSE(PostWindowMessage(nullptr, 0x0507, 0, 0));
}

TEST(PostedMessageTest, EveryMessageHasTheOneRegisteredEventType) {
    const CPostedMessageEvent a(1, 2, -3), b(4, 5, 6);
    EXPECT_EQ(a.type(), b.type());
    EXPECT_EQ(a.type(), CPostedMessageEvent::EventType());
    EXPECT_GE(static_cast<int>(a.type()), static_cast<int>(QEvent::User));
    EXPECT_EQ(a.LParam(), -3);
}

} // namespace
} // namespace brivox
