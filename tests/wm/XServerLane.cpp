#include "XServerLane.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace brivox::test {

namespace {

// Generous: a loaded machine can be slow to start them; a healthy one takes well under a second.
constexpr int kStartLimitMs = 60000;

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

constexpr int kWindowManagerTries = 3;

// Started with its output discarded (its errors to the file, when one is given); descriptors
// without close-on-exec stay open in it.
pid_t Spawn(std::vector<std::string> args, const char* errors = "/dev/null") {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors, O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : 0;
}

void Stop(pid_t& pid) {
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    pid = 0;
}

// Xvfb writes its display number to the descriptor once it accepts connections.
std::string ReadDisplayNumber(int fd) {
    std::string number;
    pollfd wait{fd, POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, kStartLimitMs) > 0 && read(fd, &c, 1) == 1 && c != '\n')
        number += c;
    return number;
}

// True once the window manager has claimed the screen; false when it ended first (windowManager
// then 0) or the limit passed.
bool WindowManagerReady(pid_t& windowManager) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartLimitMs);
    while (std::chrono::steady_clock::now() < limit) {
        if (CommandOutput("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
            std::string::npos)
            return true;
        if (waitpid(windowManager, nullptr, WNOHANG) == windowManager) {
            windowManager = 0;
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

int IntAfter(const std::string& text, const std::string& label) {
    const size_t at = text.find(label);
    return at == std::string::npos ? -1 : std::atoi(text.c_str() + at + label.size());
}

QRect AbsoluteRect(const std::string& info) {
    return {IntAfter(info, "Absolute upper-left X:"), IntAfter(info, "Absolute upper-left Y:"),
            IntAfter(info, "Width:"), IntAfter(info, "Height:")};
}

} // namespace

void CXServerLane::SetUp() {
    if (const std::string problem = Start(); !problem.empty()) {
        // A failed set-up would make the test runner report every test as skipped: the lane
        // must fail loudly instead.
        std::fprintf(stderr, "window-manager lane: %s\n", problem.c_str());
        TearDown();
        std::exit(1);
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
}

std::string CXServerLane::Start() {
    for (const char* program : {"Xvfb", "openbox", "xprop", "xwininfo", "wmctrl", "xdotool"}) {
        if (!OnPath(program))
            return std::string(program) +
                   " is missing: install xvfb, openbox, x11-utils, wmctrl and xdotool";
    }
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "no pipe";
    m_server = Spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0",
                      "1280x1024x24", "-nolisten", "tcp"});
    close(pipeFds[1]);
    const std::string display = ReadDisplayNumber(pipeFds[0]);
    close(pipeFds[0]);
    if (display.empty())
        return "Xvfb did not start";
    setenv("DISPLAY", (":" + display).c_str(), 1);
    // A loaded machine has seen openbox end at start now and then: it is given a few tries.
    const std::string log = "/tmp/brivox-wm-lane-openbox-" + std::to_string(getpid()) + ".log";
    for (int tries = 0; tries < kWindowManagerTries; ++tries) {
        Stop(m_windowManager);
        m_windowManager = Spawn({"openbox", "--sm-disable"}, log.c_str());
        if (WindowManagerReady(m_windowManager))
            return "";
    }
    return "openbox did not start; it said: " + CommandOutput("cat " + log);
}

void CXServerLane::TearDown() {
    Stop(m_windowManager);
    Stop(m_server);
}

std::string CommandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return output;
    std::array<char, 4096> buffer{};
    for (size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        output.append(buffer.data(), got);
    pclose(pipe);
    return output;
}

CWmGeometry WmGeometry(unsigned long window) {
    const std::string id = std::to_string(window);
    const std::string tree = CommandOutput("xwininfo -tree -id " + id);
    const std::string parent = std::to_string(std::strtoul(
        tree.c_str() + tree.find("Parent window id:") + sizeof("Parent window id:"), nullptr, 16));
    return {AbsoluteRect(CommandOutput("xwininfo -id " + parent)),
            AbsoluteRect(CommandOutput("xwininfo -id " + id))};
}

std::string XProperty(unsigned long window, const std::string& name) {
    std::string text = CommandOutput("xprop -id " + std::to_string(window) + " " + name);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

} // namespace brivox::test
