#include "transfer/PacedUpload.h"

#include "support/PortTestSupport.h"
#include "support/QtApp.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

// A console that answers each line it is given with answer (when not empty).
struct CUploadRig {
    explicit CUploadRig(std::string answer = "") : console(std::move(answer)) { test::QtApp(); }

    void Run(const std::string& content, const CPacing& pacing) {
        upload.Start(content, pacing);
        ASSERT_TRUE(test::RunEventsUntil([this] { return finished; }, 10000));
    }

    std::string console;
    std::string heard;
    std::vector<CUploadProgress> progress;
    std::string error;
    bool finished = false;
    bool writable = true;
    CPacedUpload upload{[this](const uint8_t* bytes, size_t count) {
                            heard.append(reinterpret_cast<const char*>(bytes), count);
                            if (!console.empty() && heard.back() == '\n')
                                upload.Receive(reinterpret_cast<const uint8_t*>(console.data()),
                                               console.size());
                            return writable;
                        },
                        [this](const CUploadProgress& p) { progress.push_back(p); },
                        [this](const std::string& e) {
                            error = e;
                            finished = true;
                        }};
};

TEST(PacedUploadTest, EveryLineGoesOnceInOrderAndWaitsForWhatItWasToldTo) {
    const std::string text = "one\r\ntwo\nthree\n";
    const struct {
        const char* answer;
        CPacing pacing;
        const char* error;
    } cases[] = {
        {"", {}, ""},
        {"", {1, 1, "", false, 100}, ""},
        {"> ", {0, 0, "> ", false, 500}, ""},
        {"", {0, 0, "> ", false, 50}, "line 1: \"> \" did not come within 50 ms"},
    };
    for (const auto& c : cases) {
        CUploadRig rig(c.answer);
        rig.Run(text, c.pacing);
        EXPECT_EQ(rig.error, c.error) << c.answer;
        if (*c.error != '\0') {
            EXPECT_EQ(rig.heard, "one\r\n");
            continue;
        }
        EXPECT_EQ(rig.heard, text);
        ASSERT_EQ(rig.progress.size(), 3u);
        EXPECT_EQ(rig.progress.back().lines, 3);
        EXPECT_EQ(rig.progress.back().totalLines, 3);
        EXPECT_EQ(rig.progress.back().bytes, static_cast<int64_t>(text.size()));
    }
}

TEST(PacedUploadTest, AnEchoIsTheLineWithoutItsEndAndAFailedWriteEndsIt) {
    CUploadRig echo;
    echo.upload.Start("abc\n", {0, 0, "", true, 200});
    ASSERT_TRUE(test::RunEventsUntil([&] { return echo.heard == "abc\n"; }, 2000));
    echo.upload.Receive(reinterpret_cast<const uint8_t*>("ab"), 2);
    EXPECT_FALSE(echo.finished);
    echo.upload.Receive(reinterpret_cast<const uint8_t*>("c\r\n"), 3);
    ASSERT_TRUE(test::RunEventsUntil([&] { return echo.finished; }, 2000));
    EXPECT_EQ(echo.error, "");

    CUploadRig broken;
    broken.writable = false;
    broken.Run("x\ny\n", {});
    EXPECT_EQ(broken.error, "the port could not be written");
    EXPECT_EQ(broken.heard, "x\n");

    for (const std::string text : {"", "no line end"}) {
        CUploadRig rig;
        rig.Run(text, {});
        EXPECT_EQ(rig.error, "");
        EXPECT_EQ(rig.heard, text);
        EXPECT_EQ(rig.progress.size(), text.empty() ? 0u : 1u);
    }
}

} // namespace
} // namespace brivox
