// Two ports on one timeline and replay, on pseudo-terminals, with the figures the field asks for:
// - brivox-cli monitor --port A --port B --modbus rtu: a request written on A, its reply on B a
//   known time later; how far each frame's time lies from its write and each printed reply time
//   from the real one (target: within 1 ms);
// - brivox-cli replay --speed 1 of a capture with gaps of 5 to 95 ms into a terminal whose other
//   end this program reads: how far each gap lies from the recorded one (target: within 2 ms).
// Run: build/bench/bench_capture [transactions, default 40]
#include "BenchSupport.h"
#include "capture/PcapngReader.h"
#include "serial/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using brivox::CPseudoTerminal;

int64_t SteadyUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
}

// The value after "key": in each line that has it.
std::vector<int64_t> Values(const std::string& path, const std::string& key) {
    std::vector<int64_t> values;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        if (const size_t at = line.find("\"" + key + "\":"); at != std::string::npos)
            values.push_back(std::stoll(line.substr(at + key.size() + 3)));
    return values;
}

void Print(const char* what, std::vector<int64_t> errors, int64_t targetUs) {
    if (errors.empty()) {
        std::printf("%s: nothing measured\n", what);
        return;
    }
    for (int64_t& error : errors)
        error = std::abs(error);
    std::sort(errors.begin(), errors.end());
    const auto within =
        std::count_if(errors.begin(), errors.end(), [&](int64_t us) { return us <= targetUs; });
    std::printf("%s: %zu, median %lld us, 99th percentile %lld us, max %lld us; %.1f %% within "
                "%lld us\n",
                what, errors.size(), static_cast<long long>(errors[errors.size() / 2]),
                static_cast<long long>(errors[errors.size() * 99 / 100]),
                static_cast<long long>(errors.back()),
                100.0 * static_cast<double>(within) / static_cast<double>(errors.size()),
                static_cast<long long>(targetUs));
}

const std::vector<uint8_t> kRequest = {0x01, 0x03, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x0B};
const std::vector<uint8_t> kReply = {0x01, 0x03, 0x04, 0x00, 0x00, 0x00, 0x01, 0x3B, 0xF3};

void TwoPorts(CPseudoTerminal& a, CPseudoTerminal& b, int transactions, const std::string& out) {
    const int seconds = 2 + transactions / 10;
    const pid_t monitor = brivox::bench::SpawnInto(
        {BRIVOX_CLI, "monitor", "--port", a.SlavePath(), "--port", b.SlavePath(), "--modbus", "rtu",
         "--format", "jsonl", "--seconds", std::to_string(seconds)},
        out);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    std::vector<int64_t> written, replies;
    for (int i = 0; i < transactions; ++i) {
        const int64_t requestUs = SteadyUs();
        written.push_back(requestUs);
        [[maybe_unused]] ssize_t n = write(a.Master(), kRequest.data(), kRequest.size());
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + 450 * i % 18000));
        const int64_t replyUs = SteadyUs();
        written.push_back(replyUs);
        replies.push_back(replyUs - requestUs);
        n = write(b.Master(), kReply.data(), kReply.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    Wait(monitor);
    const std::vector<int64_t> seen = Values(out, "steady_us");
    const std::vector<int64_t> replied = Values(out, "reply_us");
    std::vector<int64_t> frameErrors, replyErrors;
    for (size_t i = 0; i < std::min(seen.size(), written.size()); ++i)
        frameErrors.push_back(seen[i] - written[i]);
    for (size_t i = 0; i < std::min(replies.size(), replied.size()); ++i)
        replyErrors.push_back(replied[i] - replies[i]);
    std::printf("two ports: %zu frames written, %zu seen, %zu replies paired\n", written.size(),
                seen.size(), replied.size());
    Print("  frame time minus its write", frameErrors, 1000);
    Print("  printed reply time minus the real one", replyErrors, 1000);
}

// When each burst of bytes arrives at the master, until the line has been quiet for quietMs.
std::vector<int64_t> Arrivals(int fd, int quietMs) {
    std::vector<int64_t> arrivals;
    int64_t lastUs = -1;
    for (;;) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, quietMs) <= 0)
            return arrivals;
        const int64_t nowUs = SteadyUs();
        uint8_t buffer[4096];
        if (read(fd, buffer, sizeof buffer) <= 0)
            return arrivals;
        if (lastUs < 0 || nowUs - lastUs > 3000)
            arrivals.push_back(nowUs);
        lastUs = nowUs;
    }
}

void Replay(CPseudoTerminal& a, CPseudoTerminal& b, int frames, const std::string& folder) {
    const std::string capture = folder + "/recorded.pcapng";
    const pid_t monitor = brivox::bench::SpawnInto({BRIVOX_CLI, "monitor", "--port", a.SlavePath(),
                                                    "--gap", "2", "--pcapng", capture, "--seconds",
                                                    std::to_string(2 + frames / 15)},
                                                   "/dev/null");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    for (int i = 0; i < frames; ++i) {
        [[maybe_unused]] const ssize_t n = write(a.Master(), kRequest.data(), kRequest.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + 90 * i / frames));
    }
    Wait(monitor);
    std::vector<int64_t> recorded;
    brivox::CPcapngReader reader;
    reader.Open(capture);
    for (brivox::CPcapngPacket packet; reader.Next(packet);)
        recorded.push_back(packet.timeUs);
    termios raw{};
    tcgetattr(b.Slave(), &raw);
    cfmakeraw(&raw);
    tcsetattr(b.Slave(), TCSANOW, &raw);
    const pid_t replay = brivox::bench::SpawnInto(
        {BRIVOX_CLI, "replay", capture, "--port", b.SlavePath(), "--speed", "1"}, "/dev/null");
    const std::vector<int64_t> arrived = Arrivals(b.Master(), 1000);
    Wait(replay);
    std::vector<int64_t> gapErrors;
    for (size_t i = 1; i < std::min(recorded.size(), arrived.size()); ++i)
        gapErrors.push_back((arrived[i] - arrived[i - 1]) - (recorded[i] - recorded[i - 1]));
    std::printf("replay --speed 1: %zu packets recorded, %zu bursts arrived\n", recorded.size(),
                arrived.size());
    Print("  gap minus the recorded gap", gapErrors, 2000);
}

} // namespace

int main(int argc, char** argv) {
    const int transactions = argc > 1 ? std::max(5, std::atoi(argv[1])) : 40;
    brivox::bench::CBenchFolder folder;
    CPseudoTerminal a, b;
    if (!folder.IsReady() || !a.Open().empty() || !b.Open().empty()) {
        std::fprintf(stderr, "cannot set up the terminals\n");
        return 1;
    }
    TwoPorts(a, b, transactions, folder.Path() + "/two-ports.jsonl");
    Replay(a, b, transactions, folder.Path());
    return 0;
}
