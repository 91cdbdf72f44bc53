#include "testbench/DeviceTestReport.h"

#include "util/Markup.h"
#include "util/Text.h"

#include <algorithm>
#include <cstdio>

namespace brivox {

namespace {

using Verdict = CDeviceTestResult::Verdict;

constexpr size_t kRowBytes = 16;
constexpr size_t kShownBytes = 256;

std::string Cell(const std::vector<uint8_t>& bytes, size_t at) {
    return at < bytes.size() ? FormatNumber(bytes[at], 16, 2) : "--";
}

const char* VerdictWord(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return "PASS";
    case Verdict::Fail:
        return "FAIL";
    case Verdict::Timeout:
        return "TIMEOUT";
    case Verdict::PortError:
        return "ERROR";
    default:
        return "NOT RUN";
    }
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

size_t CountOf(const std::vector<CDeviceTestResult>& results, Verdict verdict) {
    return static_cast<size_t>(std::count_if(results.begin(), results.end(),
                                             [&](const auto& r) { return r.verdict == verdict; }));
}

// The failure, error or skipped element of a case that did not pass.
std::string ProblemElement(const CDeviceTest& test, const CDeviceTestResult& result) {
    if (result.verdict == Verdict::NotRun)
        return "      <skipped message=\"" + XmlText(result.reason) + "\"/>\n";
    const char* element = result.verdict == Verdict::PortError ? "error" : "failure";
    const char* type = result.verdict == Verdict::Timeout ? "timeout"
                       : result.verdict == Verdict::Fail  ? "mismatch"
                                                          : "port";
    return std::string("      <") + element + " message=\"" + XmlText(result.reason) +
           "\" type=\"" + type + "\">" + XmlText(ResultText(test, result)) + "</" + element + ">\n";
}

} // namespace

std::vector<std::string> AlignedBytes(const std::vector<uint8_t>& expected,
                                      const std::vector<uint8_t>& received) {
    const size_t length = std::max(expected.size(), received.size());
    std::vector<std::string> rows;
    for (size_t row = 0; row < std::min(length, kShownBytes); row += kRowBytes) {
        std::string want = "expected", got = "received", marks = "        ";
        bool differs = false;
        for (size_t at = row; at < std::min(length, row + kRowBytes); ++at) {
            const bool same =
                at < expected.size() && at < received.size() && expected[at] == received[at];
            want += " " + Cell(expected, at);
            got += " " + Cell(received, at);
            marks += same ? "   " : " ^^";
            differs = differs || !same;
        }
        rows.insert(rows.end(), {want, got});
        if (differs)
            rows.push_back(marks.erase(marks.find_last_not_of(' ') + 1));
    }
    if (length > kShownBytes)
        rows.push_back("... " + std::to_string(length - kShownBytes) + " more bytes");
    return rows;
}

std::string ResultText(const CDeviceTest& test, const CDeviceTestResult& result) {
    std::string text = std::string(VerdictWord(result.verdict)) + " " + EscapedText(test.name);
    if (result.verdict == Verdict::Pass)
        return text + " (" + std::to_string(test.repeat) +
               (test.repeat == 1 ? " run, " : " runs, ") + Seconds(result.seconds) + " s)\n";
    text += " (line " + std::to_string(test.line) + "): ";
    if (test.repeat > 1 && result.run > 0)
        text += "run " + std::to_string(result.run) + " of " + std::to_string(test.repeat) + ": ";
    text += result.reason + "\n";
    if (result.verdict == Verdict::Fail || result.verdict == Verdict::Timeout) {
        for (const std::string& row : AlignedBytes(result.expected, result.received))
            text += "    " + row + "\n";
    }
    return text;
}

std::string CountsText(const std::vector<CDeviceTestResult>& results) {
    std::string text = std::to_string(results.size()) +
                       (results.size() == 1 ? " case: " : " cases: ") +
                       std::to_string(CountOf(results, Verdict::Pass)) + " passed, " +
                       std::to_string(CountOf(results, Verdict::Fail)) + " failed, " +
                       std::to_string(CountOf(results, Verdict::Timeout)) + " timed out";
    if (const size_t errors = CountOf(results, Verdict::PortError); errors != 0)
        text += ", " + std::to_string(errors) + " port errors";
    if (const size_t notRun = CountOf(results, Verdict::NotRun); notRun != 0)
        text += ", " + std::to_string(notRun) + " not run";
    return text + "\n";
}

std::string JUnitReport(const std::string& suite, const std::string& timestamp,
                        const std::vector<CDeviceTest>& tests,
                        const std::vector<CDeviceTestResult>& results) {
    double seconds = 0;
    for (const CDeviceTestResult& result : results)
        seconds += result.seconds;
    const std::string counts =
        "tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
        std::to_string(CountOf(results, Verdict::Fail) + CountOf(results, Verdict::Timeout)) +
        "\" errors=\"" + std::to_string(CountOf(results, Verdict::PortError)) + "\" skipped=\"" +
        std::to_string(CountOf(results, Verdict::NotRun)) + "\" time=\"" + Seconds(seconds) + "\"";
    const std::string name = XmlText(suite);
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"brivox-cli test\" " +
        counts + ">\n  <testsuite name=\"" + name + "\" " + counts + " timestamp=\"" +
        XmlText(timestamp) + "\">\n";
    for (size_t i = 0; i < tests.size() && i < results.size(); ++i) {
        xml += "    <testcase name=\"" + XmlText(tests[i].name) + "\" classname=\"" + name +
               "\" time=\"" + Seconds(results[i].seconds) + "\"";
        if (results[i].verdict == Verdict::Pass) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n" + ProblemElement(tests[i], results[i]) + "    </testcase>\n";
    }
    return xml + "  </testsuite>\n</testsuites>\n";
}

} // namespace brivox
