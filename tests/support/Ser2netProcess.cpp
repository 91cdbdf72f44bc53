#include "support/Ser2netProcess.h"

#include "support/HttpTestServer.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace brivox::test {

namespace {

const char* Accepter(CSer2netProcess::Kind kind) {
    switch (kind) {
    case CSer2netProcess::Kind::Rfc2217:
        return "telnet(rfc2217),tcp";
    case CSer2netProcess::Kind::Telnet:
        return "telnet,tcp";
    case CSer2netProcess::Kind::Raw:
        break;
    }
    return "tcp";
}

} // namespace

CSer2netProcess::CSer2netProcess(const std::string& devicePath, Kind kind)
    : m_kind(kind), m_port(CHttpTestServer::UnusedPort()) {
    WriteTestFile(m_folder.Path("ser2net.yaml"), "connection: &brivox\n"
                                                 "    accepter: " +
                                                     std::string(Accepter(kind)) + ",127.0.0.1," +
                                                     std::to_string(m_port) +
                                                     "\n"
                                                     "    connector: serialdev," +
                                                     devicePath + ",9600n81,local\n");
    EXPECT_TRUE(Start()) << "ser2net listens on 127.0.0.1:" << m_port;
}

CSer2netProcess::~CSer2netProcess() {
    Kill();
}

std::string CSer2netProcess::Url() const {
    return (m_kind == Kind::Raw ? "tcp://127.0.0.1:" : "rfc2217://127.0.0.1:") +
           std::to_string(m_port);
}

bool CSer2netProcess::Start() {
    const std::string config = m_folder.Path("ser2net.yaml");
    const std::string pidFile = m_folder.Path("ser2net.pid");
    // -n: stay in the foreground; -u: no UUCP lock files in /var/lock.
    const char* argv[] = {"ser2net",       "-n",   "-u", "-c", config.c_str(), "-P",
                          pidFile.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const int error =
        posix_spawnp(&m_pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    // ser2net says nothing when it is ready: its socket shows it.
    for (int i = 0; i < 500 && !Listening(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return Listening();
}

void CSer2netProcess::Kill() {
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = 0;
}

// A socket of the kernel's table that listens (state 0A) on 127.0.0.1 at the port.
bool CSer2netProcess::Listening() const {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", m_port);
    std::ifstream table("/proc/net/tcp");
    std::string slot, address, remote, state;
    while (table >> slot >> address >> remote >> state) {
        if (address == local && state == "0A")
            return true;
        table.ignore(1024, '\n');
    }
    return false;
}

} // namespace brivox::test
