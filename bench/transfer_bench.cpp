// ZMODEM through brivox-cli on a pseudo-terminal: send-file and receive-file with Debian's
// lrzsz (rz, sz) on the terminal's master, 1 MiB of random bytes each way. Prints the time and
// throughput of each run and their medians; the received file is checked byte for byte.
// Run: build/bench/bench_transfer [runs, default 5]
#include "BenchSupport.h"
#include "serial/PseudoTerminal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <random>
#include <sys/wait.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kFileBytes = size_t{1} << 20;
constexpr auto kRunLimit = std::chrono::seconds(60);

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// lrzsz with its standard input and output on pipes, in folder; its pid.
pid_t SpawnLrzsz(std::vector<std::string> words, const std::string& folder, int& toChild,
                 int& fromChild) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
        return 0;
    std::vector<char*> args = brivox::bench::ArgumentVector(words);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0)
        pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    toChild = in[1];
    fromChild = out[0];
    return pid;
}

// Copies between the terminal's master and lrzsz until brivox-cli ends; its exit code, or -1
// past the limit.
int Relay(int master, int toChild, int fromChild, pid_t cli) {
    const Clock::time_point deadline = Clock::now() + kRunLimit;
    char buffer[65536];
    while (Clock::now() < deadline) {
        int status = 0;
        if (waitpid(cli, &status, WNOHANG) == cli)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pollfd fds[] = {{master, POLLIN, 0}, {fromChild, POLLIN, 0}};
        if (poll(fds, 2, 50) <= 0)
            continue;
        if ((fds[0].revents & POLLIN) != 0) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0 && write(toChild, buffer, static_cast<size_t>(n)) != n)
                return -1;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            const ssize_t n = read(fromChild, buffer, sizeof buffer);
            if (n > 0 && write(master, buffer, static_cast<size_t>(n)) != n)
                return -1;
        }
    }
    kill(cli, SIGKILL);
    waitpid(cli, nullptr, 0);
    return -1;
}

// One transfer; its seconds, or a negative number when it failed or the file differs.
double RunOnce(bool sending, const std::string& folder, const std::string& file, int run) {
    brivox::CPseudoTerminal pty;
    if (!pty.Open().empty())
        return -1;
    const std::string far = folder + "/far" + std::to_string(run);
    const std::string near = folder + "/near" + std::to_string(run);
    std::filesystem::create_directories(far);
    std::filesystem::create_directories(near);
    int toChild = -1, fromChild = -1;
    const pid_t lrzsz = sending ? SpawnLrzsz({"rz", "-b"}, far, toChild, fromChild)
                                : SpawnLrzsz({"sz", "-b", file}, far, toChild, fromChild);
    const Clock::time_point start = Clock::now();
    const std::vector<std::string> common{"--port", pty.SlavePath(), "--protocol",
                                          "zmodem", "--settings",    "4000000,N,8,1"};
    std::vector<std::string> words{BRIVOX_CLI, sending ? "send-file" : "receive-file",
                                   sending ? file : near};
    words.insert(words.end(), common.begin(), common.end());
    const pid_t cli = brivox::bench::SpawnInto(words, "/dev/null");
    const int code = lrzsz != 0 && cli != 0 ? Relay(pty.Master(), toChild, fromChild, cli) : -1;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(toChild);
    if (lrzsz != 0)
        waitpid(lrzsz, nullptr, 0);
    close(fromChild);
    const std::string got =
        ReadAll((sending ? far : near) + "/" + std::filesystem::path(file).filename().string());
    return code == 0 && got == ReadAll(file) ? seconds : -1;
}

void Bench(bool sending, const std::string& folder, const std::string& file, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double seconds = RunOnce(sending, folder, file, run + (sending ? 0 : 100));
        std::printf("%s run %d: %s\n", sending ? "send-file" : "receive-file", run + 1,
                    seconds < 0 ? "FAILED" : (std::to_string(seconds) + " s").c_str());
        if (seconds > 0)
            times.push_back(seconds);
    }
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("%s 1 MiB by ZMODEM: median %.3f s, %.1f MB/s (%zu of %d runs whole)\n",
                sending ? "send-file" : "receive-file", median,
                static_cast<double>(kFileBytes) / median / 1e6, times.size(), runs);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const brivox::bench::CBenchFolder folder;
    if (!folder.IsReady())
        return 1;
    const std::string file = folder.Path() + "/random.bin";
    std::string bytes(kFileBytes, '\0');
    std::mt19937 random(7);
    for (char& byte : bytes)
        byte = static_cast<char>(random());
    std::ofstream(file, std::ios::binary) << bytes;
    Bench(true, folder.Path(), file, runs);
    Bench(false, folder.Path(), file, runs);
    return 0;
}
