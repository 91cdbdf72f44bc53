#pragma once

#include "trace/TraceClient.h"

#include <QPointer>
#include <string>

namespace brivox {

class CXTraceWindow;

// The process's own trace window, made at the first window line when no other trace window
// listens. While this object lives the trace client may make the window; when it goes, so does
// the window.
class COwnTraceWindow : public CTraceWindowOwner {
public:
    static constexpr char kCreateFailed[] = "XTrace window could not be created";

    COwnTraceWindow();
    ~COwnTraceWindow() override;
    COwnTraceWindow(const COwnTraceWindow&) = delete;
    COwnTraceWindow& operator=(const COwnTraceWindow&) = delete;

    // A tool window at the own trace window rectangle, titled once it is shown. Without a GUI
    // application it cannot be made, which the user is told.
    bool CreateTraceWindow() override;
    void DeliverToTraceWindow(const std::string& command) override;

    // Null before it is made and after it is closed.
    CXTraceWindow* Window() const;

private:
    QPointer<CXTraceWindow> m_window;
};

} // namespace brivox
