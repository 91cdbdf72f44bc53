#include "support/ChildProcess.h"

#include <csignal>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brivox::test {

CChildProcess::CChildProcess(const std::string& program, std::vector<std::string> args,
                             bool withErrors) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (withErrors)
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    EXPECT_EQ(posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    m_out = out[0];
}

CChildProcess::~CChildProcess() {
    Stop();
    close(m_out);
}

int CChildProcess::Stop() {
    if (m_pid > 0)
        kill(m_pid, SIGINT);
    return Wait();
}

int CChildProcess::Wait() {
    if (m_pid <= 0)
        return m_status;
    int status = 0;
    waitpid(m_pid, &status, 0);
    m_pid = 0;
    m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_status;
}

int CChildProcess::WaitAtMost(int limitMs) {
    if (m_pid <= 0)
        return m_status;
    const int pidFd = static_cast<int>(syscall(SYS_pidfd_open, m_pid, 0));
    pollfd ended{pidFd, POLLIN, 0};
    const bool inTime = pidFd >= 0 && poll(&ended, 1, limitMs) == 1;
    if (pidFd >= 0)
        close(pidFd);
    if (!inTime) {
        kill(m_pid, SIGKILL);
        Wait();
        return m_status = -1;
    }
    return Wait();
}

std::string CChildProcess::Rest() {
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(m_out, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(got));
    return text;
}

std::string CChildProcess::ReadLine() {
    std::string line;
    pollfd fd{m_out, POLLIN, 0};
    char c;
    while (poll(&fd, 1, 10000) > 0 && read(m_out, &c, 1) == 1 && c != '\n')
        line += c;
    return line;
}

} // namespace brivox::test
