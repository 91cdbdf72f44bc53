#include "trace/XTraceWindow.h"

#include "platform/RichEdit.h"
#include "trace/TraceClient.h"
#include "trace/TracePaneText.h"
#include "trace/TraceWindowLayout.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimerEvent>
#include <algorithm>
#include <ctime>
#include <string_view>

namespace brivox {

namespace {

// Bold 8-point Tahoma: Wine's metric twin of it where the system has none (its bold file has no
// character map, so the bold is drawn from the regular face), else Liberation Sans.
QFont TraceWindowFont() {
    static const int loaded =
        QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
    (void)loaded;
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans")});
    font.setPointSize(8);
    font.setWeight(QFont::Bold);
    return font;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string VariableCapNotice() {
    using Variables = CTraceVariables;
    return "trace window: at most " + std::to_string(Variables::kMaxVariables) +
           " variables are kept, names cut to " + std::to_string(Variables::kMaxNameBytes) +
           " bytes and values to " + std::to_string(Variables::kMaxValueBytes) +
           " bytes; more variables are dropped";
}

// Drops a log pane's oldest text past its character cut or its line cut, whichever takes more.
void CutHead(QTextDocument& document) {
    const auto lines = static_cast<size_t>(document.blockCount() - 1);
    const auto length = static_cast<size_t>(document.characterCount() - 1);
    const int lineCut =
        document.findBlockByNumber(static_cast<int>(TracePaneLineCut(lines))).position();
    const int cut = std::max(static_cast<int>(TracePaneCut(length)), lineCut);
    if (cut == 0)
        return;
    QTextCursor head(&document);
    head.setPosition(cut, QTextCursor::KeepAnchor);
    head.removeSelectedText();
}

QRect ToQRect(const CTraceRect& rect) {
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

} // namespace

CXTraceWindow::CXTraceWindow(QWidget* parent)
    : QWidget(parent, parent == nullptr ? Qt::Tool : Qt::Widget), m_random(std::random_device{}()),
      m_channel([this](const std::string& command) {
          emit CommandReceived(command);
          Execute(command);
      }) {
    const QFont font = TraceWindowFont();
    m_displayLog = new QCheckBox(QStringLiteral("Display Log"), this);
    m_displayLog->setFont(font);
    m_displayLog->setChecked(true);
    for (CRichEdit*& pane : m_variablePanes)
        pane = MakePane();
    m_paneA = MakePane();
    m_paneB = MakePane();
    m_displayLog->raise();
    for (CRichEdit* pane : {m_paneA, m_paneB})
        pane->setUndoRedoEnabled(false); // a log's insertions are no one's edits to undo
    m_refresh.start(kRefreshMs, this);
    m_channelError = m_channel.Listen(TraceWindowSocketPath());
}

CXTraceWindow::~CXTraceWindow() = default;

CRichEdit* CXTraceWindow::MakePane() {
    auto* pane = new CRichEdit(this);
    pane->setFont(TraceWindowFont());
    pane->SetTextLimit(static_cast<int>(kTracePaneLimit));
    pane->setLineWrapMode(QTextEdit::NoWrap);
    pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    return pane;
}

void CXTraceWindow::Execute(const std::string& command) {
    const CTraceCommand parsed = ParseTraceCommand(command);
    switch (parsed.kind) {
    case TraceCommandKind::SetVariable:
        if (!m_variables.Set(parsed.name, parsed.text))
            TellVariableCap();
        break;
    case TraceCommandKind::RemoveVariable:
        m_variables.Remove(parsed.name);
        break;
    case TraceCommandKind::AppendA:
    case TraceCommandKind::AppendAStamped:
        Append(*m_paneA, parsed.text, parsed.kind == TraceCommandKind::AppendAStamped);
        break;
    case TraceCommandKind::AppendB:
    case TraceCommandKind::AppendBStamped:
        Append(*m_paneB, parsed.text, parsed.kind == TraceCommandKind::AppendBStamped);
        break;
    case TraceCommandKind::Clear:
        Clear();
        break;
    case TraceCommandKind::Rect:
        SetOwnTraceWindowRect(parsed.rect);
        MoveTo(parsed.rect);
        break;
    case TraceCommandKind::None:
        break;
    }
}

CTraceRect CXTraceWindow::FitToScreen(const CTraceRect& asked) const {
    const std::optional<CTraceRect> area = ScreenArea();
    return area ? FitTraceRect(asked, *area) : asked;
}

void CXTraceWindow::MoveTo(const CTraceRect& rect) {
    const CTraceRect fitted = FitToScreen(rect);
    move(fitted.left, fitted.top);
    resize(FitExtent(fitted.left, fitted.right, QWIDGETSIZE_MAX),
           FitExtent(fitted.top, fitted.bottom, QWIDGETSIZE_MAX));
}

std::optional<CTraceRect> CXTraceWindow::ScreenArea() const {
    const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (shown == nullptr)
        return std::nullopt;
    const QRect area = shown->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    return CTraceRect{area.left(), area.top(), area.left() + area.width() - frame.width(),
                      area.top() + area.height() - frame.height()};
}

void CXTraceWindow::Append(CRichEdit& pane, const std::string& text, bool stamped) {
    if (!m_displayLog->isChecked())
        return;
    std::uniform_int_distribution<int> indent(0, 9);
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    ShowLine(pane, FormatTracePaneLine(text, stamped ? &local : nullptr, indent(m_random)));
}

void CXTraceWindow::ShowLine(CRichEdit& pane, const std::string& line) {
    QTextDocument& document = *pane.document();
    // Lines that no pane shows are never laid out.
    QString shown = FromUtf8(LastTraceLines(line, kTracePaneLineLimit));
    shown.truncate(static_cast<qsizetype>(TracePaneRoom(document.characterCount() - 1)));
    std::uniform_int_distribution<int> shade(0, 149);
    QTextCharFormat format;
    format.setFontWeight(QFont::Normal);
    format.setForeground(QColor(shade(m_random), shade(m_random), shade(m_random)));
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown, format);
    CutHead(document);
    pane.moveCursor(QTextCursor::End);
    pane.ensureCursorVisible();
}

void CXTraceWindow::TellVariableCap() {
    if (m_variableCapTold)
        return;
    m_variableCapTold = true;
    ShowLine(*m_paneA, FormatTracePaneLine(VariableCapNotice(), nullptr, 0));
}

void CXTraceWindow::Clear() {
    m_paneA->clear();
    m_paneB->clear();
}

void CXTraceWindow::RedrawVariables() {
    const CTraceVariables::PaneTexts changed = m_variables.TakeChangedPanes();
    for (int index = 0; index < CTraceVariables::kPanes; ++index) {
        CRichEdit& pane = *m_variablePanes[index];
        if (!changed[index] && !pane.document()->isModified())
            continue;
        const std::string all = changed[index] ? *changed[index] : m_variables.PaneText(index);
        QString text = FromUtf8(FirstTraceLines(all, kTracePaneLineLimit));
        text.truncate(static_cast<qsizetype>(kTracePaneLimit));
        if (pane.toPlainText() != text)
            pane.setPlainText(text);
        pane.document()->setModified(false);
    }
}

void CXTraceWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const CTraceWindowLayout layout = LayOutTraceWindow(width(), height());
    m_displayLog->setGeometry(ToQRect(layout.displayLog));
    for (int index = 0; index < CTraceVariables::kPanes; ++index)
        m_variablePanes[index]->setGeometry(ToQRect(layout.variablePanes[index]));
    m_paneA->setGeometry(ToQRect(layout.paneA));
    m_paneB->setGeometry(ToQRect(layout.paneB));
}

void CXTraceWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_refresh.timerId())
        RedrawVariables();
    else
        QWidget::timerEvent(event);
}

} // namespace brivox
