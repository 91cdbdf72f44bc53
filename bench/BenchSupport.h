#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

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

} // namespace brivox::bench
