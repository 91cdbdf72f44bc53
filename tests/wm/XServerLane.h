#pragma once

#include <QRect>
#include <gtest/gtest.h>
#include <string>
#include <sys/types.h>

namespace brivox::test {

// An X server (Xvfb) with a window manager (openbox) for the tests of one process, so that what
// only a window manager does (frames, maximise, captions, drags) can be checked. Started before
// the first test, stopped after the last; DISPLAY and the Qt platform point at it meanwhile.
class CXServerLane : public testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

private:
    // What went wrong, empty once both run.
    std::string Start();

    pid_t m_server = 0;
    pid_t m_windowManager = 0;
};

// What a command (run by the shell, on the lane's display) printed.
std::string CommandOutput(const std::string& command);

// The window manager's view of a top-level window, by X id: its frame's rectangle on the screen
// (the parent the window manager made around it) and its client area.
struct CWmGeometry {
    QRect frame;
    QRect client;
};
CWmGeometry WmGeometry(unsigned long window);

// An X property of a window as xprop prints it ("NAME(TYPE) = value").
std::string XProperty(unsigned long window, const std::string& name);

} // namespace brivox::test
