#pragma once

#include "testbench/DeviceTestFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace brivox {

// How one case of a device-test file went.
struct CDeviceTestResult {
    enum class Verdict { Pass, Fail, Timeout, PortError, NotRun };

    Verdict verdict = Verdict::NotRun;
    int run = 0;        // the run (from 1) that failed, timed out or lost the port
    std::string reason; // what went wrong, in one line
    std::vector<uint8_t> expected;
    std::vector<uint8_t> received;
    double seconds = 0; // all its runs together
};

// The expected and received bytes in rows of 16, one above the other, with "^^" under every
// position where they differ ("--" stands for a byte one side lacks). Shows the first 256.
std::vector<std::string> AlignedBytes(const std::vector<uint8_t>& expected,
                                      const std::vector<uint8_t>& received);

// What the test command prints for a case: a line with its verdict, and for a case that did not
// pass the bytes it expected and received.
std::string ResultText(const CDeviceTest& test, const CDeviceTestResult& result);

// The counts line at the end: "4 cases: 2 passed, 1 failed, 1 timed out".
std::string CountsText(const std::vector<CDeviceTestResult>& results);

// A JUnit XML report of one suite (the file's name) as CI servers read it: a failure for a
// mismatch or a timeout, an error for a lost port, skipped for a case that never ran.
std::string JUnitReport(const std::string& suite, const std::string& timestamp,
                        const std::vector<CDeviceTest>& tests,
                        const std::vector<CDeviceTestResult>& results);

} // namespace brivox
