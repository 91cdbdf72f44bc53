// How long the program takes from its start to a shown main window: brivox is started under a
// private Xvfb (no window manager) with fresh settings, and the time runs until the X server
// reports its top-level window mapped. The first run pays for a cold font and library cache.
// Run: build/bench/bench_startup [runs, default 5]
#include "BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr char kDisplay[] = ":97";

xcb_connection_t* ConnectWithin(int ms) {
    for (int waited = 0; waited < ms; waited += 20) {
        xcb_connection_t* connection = xcb_connect(kDisplay, nullptr);
        if (xcb_connection_has_error(connection) == 0)
            return connection;
        xcb_disconnect(connection);
        usleep(20000);
    }
    return nullptr;
}

// Waits until a top-level window is mapped; false after limitMs.
bool AwaitMappedWindow(xcb_connection_t* connection, int limitMs) {
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
            const bool mapped =
                (event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
                !reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect;
            free(event);
            if (mapped)
                return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd readable{xcb_get_file_descriptor(connection), POLLIN, 0};
        if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) < 0)
            return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    brivox::bench::CBenchFolder folder;
    const pid_t xvfb = brivox::bench::SpawnInto(
        {"/usr/bin/Xvfb", kDisplay, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
        "/dev/null");
    xcb_connection_t* connection = xvfb == 0 ? nullptr : ConnectWithin(5000);
    if (!folder.IsReady() || connection == nullptr) {
        std::printf("no Xvfb on %s\n", kDisplay);
        return 1;
    }
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection,
                                 xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root,
                                 XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection);
    setenv("DISPLAY", kDisplay, 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    setenv("BRIVOX_OFFLINE", "1", 1); // the banner's request is not part of the start
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const Clock::time_point start = Clock::now();
        const pid_t app = brivox::bench::SpawnInto({BRIVOX_APP}, "/dev/null");
        const bool shown = app != 0 && AwaitMappedWindow(connection, 10000);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        if (app != 0) {
            kill(app, SIGKILL);
            waitpid(app, nullptr, 0);
        }
        if (!shown) {
            std::printf("run %d: no window within 10 s\n", run + 1);
            continue;
        }
        std::printf("run %d: window shown after %.1f ms\n", run + 1, ms);
        times.push_back(ms);
    }
    xcb_disconnect(connection);
    kill(xvfb, SIGTERM);
    waitpid(xvfb, nullptr, 0);
    if (times.empty())
        return 1;
    std::sort(times.begin(), times.end());
    std::printf(
        "start-up to a shown window: median %.1f ms, best %.1f ms, worst %.1f ms (%zu runs)\n",
        times[times.size() / 2], times.front(), times.back(), times.size());
    return 0;
}
