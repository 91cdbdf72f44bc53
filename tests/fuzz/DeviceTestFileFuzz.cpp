// Any text read as a device-test file is parsed without a crash or an out-of-bounds read. A
// refused file says which line is at fault (a line the file has), and every case it accepts can
// be run: it sends something, its MODBUS expectation is a whole frame, and its limits hold.
#include "testbench/DeviceTestFile.h"

#include <algorithm>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<brivox::CDeviceTest> tests;
    const std::string error = brivox::ParseDeviceTests(text, tests);
    if (!error.empty()) {
        const long lines = std::count(text.begin(), text.end(), '\n') + 1;
        if (error.rfind("line ", 0) == 0 && std::atol(error.c_str() + 5) > lines)
            std::abort();
        return 0;
    }
    for (const brivox::CDeviceTest& test : tests) {
        const bool sends = std::any_of(test.items.begin(), test.items.end(), [](const auto& item) {
            return item.kind == brivox::JPItemKind::Send;
        });
        const bool modbus = test.kind == brivox::CDeviceTest::Kind::Modbus;
        if (test.name.empty() || (modbus && !sends) || test.repeat < 1 ||
            test.repeat > brivox::CDeviceTest::kMaxRepeat || test.timeoutMs < 0 ||
            test.timeoutMs > brivox::CDeviceTest::kMaxTimeoutMs ||
            (!test.expectedReply.empty() && test.expectedReply.size() < 5))
            std::abort();
    }
    return 0;
}
