// brivox-cli monitor fed 1 MB/s on a pseudo-terminal: a 1000-byte frame every millisecond.
// Prints the CPU it takes in text format (target: under 10 % of one core) and, from a run in
// jsonl format, how far each frame's time lies from the moment its bytes were written (target:
// within 1 ms).
// Run: build/bench/bench_monitor [seconds, default 5]
#include "BenchSupport.h"
#include "serial/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kFrame = 1000;
constexpr auto kPeriod = std::chrono::milliseconds(1);

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct CRun {
    double cpuSeconds = 0;
    std::vector<int64_t> writtenUs; // when each frame's write began
};

// The monitor listens for the given seconds while frames are written for all but the first and
// the last half second; its output goes to the file.
CRun Monitor(brivox::CPseudoTerminal& pty, int seconds, const std::string& format,
             const std::string& output, bool feed) {
    CRun run;
    const pid_t pid =
        brivox::bench::SpawnInto({BRIVOX_CLI, "monitor", "--port", pty.SlavePath(), "--gap", "0.5",
                                  "--format", format, "--seconds", std::to_string(seconds)},
                                 output);
    if (pid == 0)
        return run;
    const std::vector<uint8_t> frame(kFrame, 0x55);
    auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    const auto end = next + std::chrono::seconds(seconds) - std::chrono::seconds(1);
    while (feed && next < end) {
        std::this_thread::sleep_until(next);
        const int64_t startUs = SteadyUs(); // no byte of the frame can arrive before
        if (write(pty.Master(), frame.data(), frame.size()) == static_cast<ssize_t>(frame.size()))
            run.writtenUs.push_back(startUs);
        next += kPeriod;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    return run;
}

// The "steady_us" of each frame line of a jsonl output.
std::vector<int64_t> FrameTimes(const std::string& path) {
    std::vector<int64_t> times;
    std::ifstream in(path);
    const std::string key = "\"steady_us\":";
    for (std::string line; std::getline(in, line);) {
        if (const size_t at = line.find(key); at != std::string::npos)
            times.push_back(std::stoll(line.substr(at + key.size())));
    }
    return times;
}

void PrintOffsets(const std::vector<int64_t>& written, const std::vector<int64_t>& frames) {
    std::vector<int64_t> offsets;
    for (size_t i = 0; i < std::min(written.size(), frames.size()); ++i)
        offsets.push_back(frames[i] - written[i]);
    std::sort(offsets.begin(), offsets.end());
    if (offsets.empty())
        return;
    const auto at = [&](double share) {
        return offsets[std::min(offsets.size() - 1, static_cast<size_t>(share * offsets.size()))];
    };
    const int64_t within = std::count_if(offsets.begin(), offsets.end(),
                                         [](int64_t us) { return us >= -1000 && us <= 1000; });
    std::printf("jsonl: %zu frames written, %zu seen; frame time minus the start of its write: "
                "median %lld us, "
                "99th percentile %lld us, min %lld us, max %lld us; %.2f %% within 1 ms\n",
                written.size(), frames.size(), static_cast<long long>(at(0.5)),
                static_cast<long long>(at(0.99)), static_cast<long long>(offsets.front()),
                static_cast<long long>(offsets.back()),
                100.0 * static_cast<double>(within) / static_cast<double>(offsets.size()));
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 5;
    brivox::bench::CBenchFolder folder;
    brivox::CPseudoTerminal pty;
    if (const std::string error = pty.Open(); !folder.IsReady() || !error.empty()) {
        std::fprintf(stderr, "cannot set up: %s\n", error.c_str());
        return 1;
    }
    const std::string output = "/tmp/brivox-bench-monitor.out";
    const CRun idle = Monitor(pty, seconds, "text", "/dev/null", false);
    const CRun text = Monitor(pty, seconds, "text", "/dev/null", true);
    const double fed = static_cast<double>(text.writtenUs.size() * kFrame);
    // The monitor listens a second longer than it is fed; its idle cost is taken off.
    const double busy = (text.cpuSeconds - idle.cpuSeconds) / (seconds - 1);
    std::printf("text: %.2f MB in %d s (%.2f MB/s fed), monitor CPU %.3f s, idle run %.3f s: "
                "%.2f %% of a core while fed\n",
                fed / 1e6, seconds - 1, fed / 1e6 / (seconds - 1), text.cpuSeconds, idle.cpuSeconds,
                100.0 * busy);
    const CRun json = Monitor(pty, seconds, "jsonl", output, true);
    PrintOffsets(json.writtenUs, FrameTimes(output));
    std::remove(output.c_str());
    return 0;
}
