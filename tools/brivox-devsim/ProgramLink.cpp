#include "brivox-devsim/ProgramLink.h"

#include "platform/FileIO.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brivox::devsim {

CProgramLink::~CProgramLink() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        Ended();
    }
    if (m_toProgram >= 0)
        close(m_toProgram);
}

std::string CProgramLink::Start(const std::vector<std::string>& command) {
    int input[2];
    int output[2];
    if (command.empty())
        return "no program to run";
    if (pipe2(input, O_CLOEXEC) != 0)
        return std::string("pipe: ") + std::strerror(errno);
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return std::string("pipe: ") + std::strerror(errno);
    }
    // A reader that went away must not kill the simulator with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    // The program gets the signals this process blocks or ignores back as they normally are.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGTERM, SIGHUP})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    const int error = posix_spawnp(&m_pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(input[0]);
    close(output[1]);
    if (error != 0) {
        m_pid = -1;
        close(input[1]);
        close(output[0]);
        return "cannot run " + command[0] + ": " + std::strerror(error);
    }
    m_toProgram = input[1];
    m_fromProgram = output[0];
    return "";
}

ssize_t CProgramLink::Read(void* buffer, size_t size) {
    const ssize_t count = read(m_fromProgram, buffer, size);
    if (count < 0 && errno != EINTR && errno != EAGAIN)
        return 0; // a broken pipe ends it as its end of output does
    return count;
}

void CProgramLink::Write(const void* bytes, size_t count) {
    if (m_toProgram >= 0 && !WriteAll(m_toProgram, bytes, count)) {
        close(m_toProgram);
        m_toProgram = -1;
    }
}

int CProgramLink::Ended() {
    if (m_fromProgram >= 0) {
        close(m_fromProgram);
        m_fromProgram = -1;
    }
    int status = 0;
    pid_t waited = 0;
    do
        waited = waitpid(m_pid, &status, 0);
    while (waited < 0 && errno == EINTR);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace brivox::devsim
