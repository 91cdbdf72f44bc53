// How fast brivox-cli respond answers: a master on a pseudo-terminal sends a MODBUS read and
// waits for the rule's answer, round after round, with and without a burst of bytes that match
// no rule before each request. A round's time runs from the request's last byte written to the
// answer's last byte read, so it holds the terminal's own delivery both ways; the responder's
// own longest time (from its reader's arrival stamp to the written answer) is its summary line.
// Run: build/bench/bench_responder [rounds, default 2000]
#include "BenchSupport.h"
#include "serial/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

const Bytes kRequest = {0x01, 0x03, 0x00, 0x10, 0x00, 0x01, 0x85, 0xCF};
const Bytes kAnswer = {0x01, 0x03, 0x02, 0x10, 0x00, 0xB5, 0x84};
const char kRules[] = "rule read\n"
                      "match  01 03 ?? ?? 00 01 crc16-modbus\n"
                      "answer 01 03 02 $4 $3 crc16-modbus\n"
                      "rule login\n"
                      "match  \"login:\"\n"
                      "answer \"root\" 0D\n";

// Reads exactly the answer's length within limitMs; false on a time-out or other bytes.
bool ReadAnswer(int fd, int limitMs) {
    Bytes got;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (got.size() < kAnswer.size()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd readable{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            return false;
        uint8_t buffer[64];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got == kAnswer;
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * values.size()))];
}

// Rounds of request and answer; the times in ms, or empty when an answer did not come.
std::vector<double> Rounds(int fd, int rounds, size_t noise) {
    std::vector<double> times;
    Bytes burst(noise);
    for (size_t i = 0; i < noise; ++i)
        burst[i] = static_cast<uint8_t>(0x20 + i % 64); // never 01 or "login:" whole
    for (int round = 0; round < rounds; ++round) {
        Bytes out = burst;
        out.insert(out.end(), kRequest.begin(), kRequest.end());
        if (write(fd, out.data(), out.size()) != static_cast<ssize_t>(out.size()))
            return {};
        const Clock::time_point sent = Clock::now();
        if (!ReadAnswer(fd, 1000))
            return {};
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }
    return times;
}

void Print(const char* what, const std::vector<double>& times) {
    if (times.empty()) {
        std::printf("%-34s an answer did not come\n", what);
        return;
    }
    std::printf("%-34s %zu rounds: p50 %.3f ms, p99 %.3f ms, max %.3f ms\n", what, times.size(),
                Percentile(times, 0.5), Percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()));
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    brivox::bench::CBenchFolder folder;
    brivox::CPseudoTerminal pty;
    if (!folder.IsReady() || !pty.Open().empty())
        return 1;
    termios raw{};
    tcgetattr(pty.Slave(), &raw);
    cfmakeraw(&raw);
    tcsetattr(pty.Slave(), TCSANOW, &raw);
    const std::string rules = folder.Path() + "/bench.rules";
    std::ofstream(rules) << kRules;
    const std::string output = folder.Path() + "/respond.out";
    const pid_t responder = brivox::bench::SpawnInto(
        {BRIVOX_CLI, "respond", "--port", pty.SlavePath(), "--rules", rules}, output);
    if (responder == 0)
        return 1;
    bool ready = false; // the first answer shows that the port is open
    for (int attempt = 0; attempt < 50 && !ready; ++attempt) {
        write(pty.Master(), kRequest.data(), kRequest.size());
        ready = ReadAnswer(pty.Master(), 100);
    }
    if (ready) {
        Print("request, answer:", Rounds(pty.Master(), rounds, 0));
        Print("256 unmatched bytes, request:", Rounds(pty.Master(), rounds, 256));
    } else {
        std::printf("brivox-cli respond did not answer\n");
    }
    kill(responder, SIGINT);
    waitpid(responder, nullptr, 0);
    std::ifstream summary(output);
    for (std::string line; std::getline(summary, line);)
        if (line.rfind("rule ", 0) == 0)
            std::printf("responder's own: %s\n", line.c_str());
    return ready ? 0 : 1;
}
