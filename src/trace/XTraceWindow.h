#pragma once

#include "trace/TraceChannel.h"
#include "trace/TraceCommand.h"
#include "trace/TraceVariables.h"

#include <QBasicTimer>
#include <QWidget>
#include <array>
#include <optional>
#include <random>
#include <string>

class QCheckBox;

namespace brivox {

class CRichEdit;

// The trace viewer: two log panes, three panes of named variables and "Display Log". It takes
// command texts from its own process and, through its channel, from any process that finds it.
// A top-level one is a tool window.
class CXTraceWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr char kTitle[] = "ZovivEZazod";
    static constexpr int kRefreshMs = 50;

    explicit CXTraceWindow(QWidget* parent = nullptr);
    ~CXTraceWindow() override;

    // Why the window does not listen for other processes; empty when it does.
    const std::string& ChannelError() const { return m_channelError; }

    void Execute(const std::string& command);
    // Puts the window's frame corner at the rectangle's and gives its client area the
    // rectangle's size, at least 1 x 1 pixels, fitted to its screen (the frame counts once the
    // window is shown and has one).
    void MoveTo(const CTraceRect& rect);

    CRichEdit& PaneA() const { return *m_paneA; }
    CRichEdit& PaneB() const { return *m_paneB; }
    CRichEdit& VariablePane(int pane) const { return *m_variablePanes.at(pane); }
    QCheckBox& DisplayLog() const { return *m_displayLog; }

signals:
    // A command from another process, before it is executed.
    void CommandReceived(const std::string& command);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    // The available area of the window's screen (or the primary one), less the frame.
    std::optional<CTraceRect> ScreenArea() const;
    // A rectangle fitted to that area, so that the window never outgrows the screen.
    CTraceRect FitToScreen(const CTraceRect& asked) const;
    CRichEdit* MakePane();
    void Append(CRichEdit& pane, const std::string& text, bool stamped);
    // Adds a line to a log pane in a random dark colour, keeps the pane within its bounds and
    // scrolls to its end.
    void ShowLine(CRichEdit& pane, const std::string& line);
    // Says once, in pane A, that a variable met a cap, even while "Display Log" is unchecked.
    void TellVariableCap();
    void Clear();
    void RedrawVariables();

    CRichEdit* m_paneB;
    CRichEdit* m_paneA;
    std::array<CRichEdit*, CTraceVariables::kPanes> m_variablePanes;
    QCheckBox* m_displayLog;
    CTraceVariables m_variables;
    bool m_variableCapTold = false;
    std::minstd_rand m_random;
    QBasicTimer m_refresh;
    CTraceChannel m_channel;
    std::string m_channelError;
};

} // namespace brivox
