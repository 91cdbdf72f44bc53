// How fast brivox-cli poll reads 100 holding registers back to back from brivox-devsim's MODBUS
// slave on a pseudo-terminal and as a MODBUS TCP server on 127.0.0.1: cycles a second, the reply
// time's median and p99 as the poll's own statistics give them (from the request's last byte out to
// the reply's last byte in), cycles that were not valid, and the CPU the poll took. Run:
// build/bench/bench_modbus_poll [seconds, default 10]
#include "BenchSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

long CountLines(const std::string& text) {
    long lines = 0;
    for (const char c : text)
        lines += c == '\n';
    return lines;
}

// One poll of `seconds` against the simulator started with these arguments; false when it did
// not start.
bool MeasurePoll(const brivox::bench::CBenchFolder& folder, const char* link,
                 const std::vector<std::string>& devsimArgs,
                 const std::vector<std::string>& lineArgs, int seconds) {
    const std::string devsimOut = folder.Path() + "/devsim.out";
    std::vector<std::string> devsimWords = {BRIVOX_DEVSIM};
    devsimWords.insert(devsimWords.end(), devsimArgs.begin(), devsimArgs.end());
    const pid_t devsim = brivox::bench::SpawnInto(devsimWords, devsimOut);
    const std::string port = brivox::bench::AwaitFirstLine(devsimOut);
    if (devsim == 0 || port.empty()) {
        std::fprintf(stderr, "brivox-devsim did not start\n");
        return false;
    }
    const std::string lines = folder.Path() + "/poll.csv";
    const std::string summary = folder.Path() + "/poll.err";
    std::vector<std::string> pollWords = {BRIVOX_CLI,  "poll", "--port",     port,
                                          "--count",   "100",  "--interval", "0",
                                          "--timeout", "100",  "--format",   "csv"};
    pollWords.insert(pollWords.end(), lineArgs.begin(), lineArgs.end());
    const Clock::time_point start = Clock::now();
    const pid_t poller = brivox::bench::SpawnInto(pollWords, lines, summary);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    kill(poller, SIGINT);
    int status = 0;
    rusage usage{};
    wait4(poller, &status, 0, &usage);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    kill(devsim, SIGTERM);
    waitpid(devsim, nullptr, 0);

    const std::string output = ReadFile(lines);
    // A valid cycle's line ends with an empty error column.
    long invalid = 0;
    for (size_t at = output.find('\n'); at != std::string::npos; at = output.find('\n', at + 1))
        invalid += at > 0 && output[at - 1] != ',';
    invalid -= 1;                               // the CSV header
    const long cycles = CountLines(output) - 1; // the CSV header
    const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("poll of 100 registers, back to back, %s, %.1f s:\n"
                "  %ld cycles, %.0f cycles/s, %ld not valid, CPU %.1f %% of a core\n  %s",
                link, elapsed, cycles, static_cast<double>(cycles) / elapsed, invalid,
                100.0 * cpu / elapsed, ReadFile(summary).c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    brivox::bench::CBenchFolder folder;
    if (!folder.IsReady() || seconds < 1)
        return 1;
    const bool measured =
        MeasurePoll(folder, "pseudo-terminal at 4 Mbaud", {"--modbus", "rtu"},
                    {"--settings", "4000000,N,8,1"}, seconds) &&
        MeasurePoll(folder, "MODBUS TCP on 127.0.0.1", {"--modbus-tcp", "0"}, {}, seconds);
    return measured ? 0 : 1;
}
