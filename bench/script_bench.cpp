// Compile speed of the script language and the MODBUS builder, the time and memory a 16 MiB
// device-test file of tiny items takes to read (targets: under 2 s, at most 20 bytes of memory a
// byte of file), and the CPU an executor uses while it waits for a reply.
// Run: build/bench/bench_script
#include "modbus/ModbusRequest.h"
#include "options/OptionDefaults.h"
#include "options/OptionKeys.h"
#include "script/JPScript.h"
#include "script/ScriptExecutor.h"
#include "testbench/DeviceTestFile.h"

#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs the action repeatedly for about a second; returns microseconds per run.
template <typename Action> double MicrosecondsPerRun(Action action) {
    int runs = 0;
    const auto start = Clock::now();
    while (SecondsSince(start) < 1.0) {
        action();
        ++runs;
    }
    return SecondsSince(start) / runs * 1e6;
}

// A Detail text of exactly 102400 characters mixing every element; a final string fills it up.
std::string LongDetailText() {
    const std::string unit = "41 42 \"AT+X\" 128; <06 00> ";
    std::string text;
    while (text.size() + unit.size() + 3 <= 102400)
        text += unit;
    return text + "\"" + std::string(102400 - text.size() - 2, 'x') + "\"";
}

void BenchDetail() {
    brivox::COptionStore options;
    brivox::CJPScript script(options);
    const std::string text = LongDetailText();
    const auto result = script.CompileDetail(text);
    const double us = MicrosecondsPerRun([&] { script.CompileDetail(text); });
    std::printf("detail compile: %zu characters (%s) in %.0f us, %.1f us per KB\n", text.size(),
                result.Succeeded() ? "ok" : result.message.c_str(), us,
                us / (text.size() / 1024.0));
}

long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BenchTinyItemsFile() {
    std::string text = "case tiny items\ndetail ";
    while (text.size() + 9 < (size_t{16} << 20))
        text += "01 <02> ";
    text += "\n";
    const long before = PeakKilobytes();
    const auto start = Clock::now();
    std::vector<brivox::CDeviceTest> tests;
    const std::string error = brivox::ParseDeviceTests(text, tests);
    const double seconds = SecondsSince(start);
    const double grownBytes = static_cast<double>(PeakKilobytes() - before) * 1024;
    std::printf("device-test file of %.1f MiB, %zu items: read in %.2f s (%s), %.0f MB more at "
                "the peak, %.1f bytes a byte of file\n",
                static_cast<double>(text.size()) / (1 << 20),
                tests.empty() ? size_t{0} : tests[0].items.size(), seconds,
                error.empty() ? "ok" : error.c_str(), grownBytes / 1e6,
                grownBytes / static_cast<double>(text.size()));
}

void BenchModbusWords() {
    brivox::COptionStore options;
    brivox::RegisterDefaultOptions(options, "eng");
    options.SetInt(brivox::opt::kModbusFunctionIndex, 5);
    std::string words;
    while (words.size() + 5 <= 2000)
        words += words.empty() ? "0A1B" : " 0A1B";
    options.SetString(brivox::opt::kModbusWordsData, words);
    brivox::CJPScript script(options);
    const double us = MicrosecondsPerRun([&] {
        brivox::BuildModbusRequest(script, true, brivox::CModbusBoxes{false, true});
    });
    std::printf("modbus multiple-word request: %zu characters in %.1f us, %.1f us per KB\n",
                words.size(), us, us / (words.size() / 1024.0));
}

class CSilentHost : public brivox::CScriptHost {
public:
    int32_t ReadIntOption(const std::string&, int32_t fallback) override { return fallback; }
    bool WriteToPort(const uint8_t*, int32_t) override { return true; }
    void SetRts(bool) override {}
    void Report(uint8_t, brivox::ByteReport) override {}
    brivox::CScriptRunState& RunState() override { return m_state; }

private:
    brivox::CScriptRunState m_state;
};

void BenchWaitingRun() {
    brivox::COptionStore options;
    brivox::CJPScript script(options);
    script.CompileDetail("41 <06>");
    CSilentHost host;
    host.RunState().SetSending(true);
    double cpuSeconds = 0;
    std::thread run([&] {
        brivox::JPExecute(script.Items(), host, true);
        rusage usage{};
        getrusage(RUSAGE_THREAD, &usage);
        cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    });
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    host.RunState().SetSending(false);
    run.join();
    std::printf("executor waiting for a reply: %.3f %% of a core over %.1f s\n",
                100.0 * cpuSeconds / SecondsSince(start), SecondsSince(start));
}

} // namespace

int main() {
    BenchDetail();
    BenchTinyItemsFile();
    BenchModbusWords();
    BenchWaitingRun();
    return 0;
}
