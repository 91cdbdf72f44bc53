#pragma once

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace brivox::bench {

// CPU time of a clock (CLOCK_PROCESS_CPUTIME_ID, CLOCK_THREAD_CPUTIME_ID), in seconds.
inline double CpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// CPU time of the whole process (every thread), in seconds.
inline double ProcessCpuSeconds() {
    return CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
}

// A settings and runtime folder of the benchmark's own while it lives, so that the user's
// settings and port map are left alone.
class CBenchFolder {
public:
    CBenchFolder() {
        char root[] = "/tmp/brivox-bench-XXXXXX";
        if (mkdtemp(root) == nullptr)
            return;
        m_path = root;
        setenv("XDG_CONFIG_HOME", root, 1);
        setenv("XDG_RUNTIME_DIR", root, 1);
    }
    ~CBenchFolder() {
        std::error_code error;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, error);
    }
    CBenchFolder(const CBenchFolder&) = delete;
    CBenchFolder& operator=(const CBenchFolder&) = delete;

    bool IsReady() const { return !m_path.empty(); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// A program's words as exec takes them; they point into words, which must outlive them.
inline std::vector<char*> ArgumentVector(std::vector<std::string>& words) {
    std::vector<char*> args;
    for (std::string& word : words)
        args.push_back(word.data());
    args.push_back(nullptr);
    return args;
}

// Starts a program (its path first) with standard output into the file and standard error
// into errors (by default dropped); its process id, or 0 when it could not start.
inline pid_t SpawnInto(std::vector<std::string> words, const std::string& output,
                       const std::string& errors = "/dev/null") {
    std::vector<char*> args = ArgumentVector(words);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const bool started = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return started ? pid : 0;
}

// The first line a started program writes into its output file, once it is there (within 5 s);
// empty when it does not come.
inline std::string AwaitFirstLine(const std::string& path) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        std::ifstream file(path);
        std::string line;
        if (std::getline(file, line) && file.good())
            return line;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "";
}

} // namespace brivox::bench
