// CPU that brivox-cli run takes while it waits for a device that stays silent: the time limit
// passes in sleep, not in a loop (target: under 1 % of a core). A run with a 1 ms limit gives the
// start-up's share, which the figure for the wait leaves out.
// Run: build/bench/bench_cli [wait milliseconds, default 3000]
#include "serial/PseudoTerminal.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

struct CCost {
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// One "brivox-cli run" of a script whose reply never comes; its output goes to /dev/null.
CCost RunAgainstSilence(const std::string& device, std::string waitMs) {
    std::string program = BRIVOX_CLI, run = "run", port = "--port", path = device,
                timeout = "--timeout", script = "41 <06>";
    char* args[] = {program.data(), run.data(),    port.data(),   path.data(),
                    timeout.data(), waitMs.data(), script.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    CCost cost;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args, environ) == 0) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        cost.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    posix_spawn_file_actions_destroy(&actions);
    cost.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return cost;
}

} // namespace

int main(int argc, char** argv) {
    const std::string waitMs = argc > 1 ? argv[1] : "3000";
    brivox::CPseudoTerminal silent;
    if (const std::string error = silent.Open(); !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const CCost startUp = RunAgainstSilence(silent.SlavePath(), "1");
    const CCost whole = RunAgainstSilence(silent.SlavePath(), waitMs);
    const double waitCpu = whole.cpuSeconds - startUp.cpuSeconds;
    const double waitWall = whole.wallSeconds - startUp.wallSeconds;
    std::printf("brivox-cli run, %s ms limit, silent device: %.1f ms CPU in %.2f s = %.3f %% of a "
                "core with start-up; start-up alone %.1f ms CPU, so the wait about %.1f ms CPU in "
                "%.2f s = %.3f %% of a core\n",
                waitMs.c_str(), whole.cpuSeconds * 1e3, whole.wallSeconds,
                100.0 * whole.cpuSeconds / whole.wallSeconds, startUp.cpuSeconds * 1e3,
                waitCpu * 1e3, waitWall, 100.0 * waitCpu / waitWall);
    return 0;
}
