#include "testbench/DeviceTestReport.h"

#include <gtest/gtest.h>

namespace brivox {
namespace {

using Verdict = CDeviceTestResult::Verdict;

TEST(DeviceTestReport, MismatchesAreAlignedWithTheDifferencesMarked) {
    const struct {
        std::vector<uint8_t> expected, received;
        std::vector<std::string> rows;
    } cases[] = {
        {{1, 2, 3}, {1, 9, 3}, {"expected 01 02 03", "received 01 09 03", "            ^^"}},
        {{1, 2}, {1}, {"expected 01 02", "received 01 --", "            ^^"}},
        {{}, {}, {}},
        {std::vector<uint8_t>(17, 7),
         std::vector<uint8_t>(17, 7),
         {"expected 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07",
          "received 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07 07", "expected 07",
          "received 07"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AlignedBytes(c.expected, c.received), c.rows);
}

TEST(DeviceTestReport, JUnitReportCountsEachVerdictAndEscapesWhatItQuotes) {
    std::vector<CDeviceTest> tests(4);
    tests[0].name = "a<b> & \"c\"";
    tests[1].name = "mismatch";
    tests[2].name = std::string("bell\a and \xFF");
    tests[3].name = "later";
    std::vector<CDeviceTestResult> results(4);
    results[0].verdict = Verdict::Pass;
    results[1] = {Verdict::Fail, 1, "the reply differs", {1}, {2}, 0.5};
    results[2] = {Verdict::PortError, 1, "the device went away", {}, {}, 0};
    results[3] = {Verdict::NotRun, 0, "not run: the port went away", {}, {}, 0};
    const std::string xml = JUnitReport("bench & co.txt", "2026-01-02T03:04:05", tests, results);
    for (const char* part : {
             "<testsuite name=\"bench &amp; co.txt\" tests=\"4\" failures=\"1\" errors=\"1\" "
             "skipped=\"1\" time=\"0.500\" timestamp=\"2026-01-02T03:04:05\">",
             "<testcase name=\"a&lt;b&gt; &amp; &quot;c&quot;\" classname=\"bench &amp; co.txt\" "
             "time=\"0.000\"/>",
             "<failure message=\"the reply differs\" type=\"mismatch\">FAIL mismatch (line 0): "
             "the reply differs\n    expected 01\n    received 02\n             ^^\n</failure>",
             "<testcase name=\"bell\xEF\xBF\xBD and \xEF\xBF\xBD\"",
             "<error message=\"the device went away\" type=\"port\">",
             "<skipped message=\"not run: the port went away\"/>",
         })
        EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
    EXPECT_EQ(CountsText(results), "4 cases: 1 passed, 1 failed, 0 timed out, 1 port errors, 1 "
                                   "not run\n");
}

} // namespace
} // namespace brivox
