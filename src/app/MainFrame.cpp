#include "app/MainFrame.h"

#include "app/AboutBox.h"
#include "app/SessionHost.h"
#include "app/WindowState.h"
#include "platform/Version.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"
#include "trace/TraceClient.h"

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <utility>

namespace brivox {

namespace {

constexpr int kFrameBottomMargin = 7;

// A window manager may report a maximised geometry before the maximised state, or the other way
// round: a placement counts once it has held this long.
constexpr int kRecordSettleMs = 200;

CScreenSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen != nullptr ? screen->size() : QSize(1024, 768);
    return {size.width(), size.height()};
}

} // namespace

CMainFrame::CMainFrame(const std::string& windowStatePath)
    : m_windowStatePath(windowStatePath), m_view(new CBrivoxView(this)), m_document(*m_view) {
    LoadWindowState(m_windowStatePath, m_placement, m_maximizedAtStart, 0, 0, PrimaryScreenSize());
    // Starting maximised, the first events recorded are maximised ones: the normal placement
    // must come from here or the next start would have none.
    m_windowState = InitialWindowState(m_placement, m_maximizedAtStart);
    m_recordTimer.setSingleShot(true);
    m_recordTimer.setInterval(kRecordSettleMs);
    connect(&m_recordTimer, &QTimer::timeout, this, [this] { RecordState(); });
    move(m_placement.x, m_placement.y);
    resize(m_placement.cx, m_placement.cy);
    setWindowTitle(QString::fromStdString("Brivox v" + VersionText(VersionNumber())));
    setCentralWidget(m_view);
    CreateMenus();
    m_view->OnInitialUpdate();
}

CMainFrame::~CMainFrame() {
    if (m_recordTimer.isActive())
        RecordState();
    delete m_view; // the main session saves the settings first
    m_view = nullptr;
    WriteWindowState(m_windowStatePath, m_windowState);
}

void CMainFrame::CreateMenus() {
    QMenu* session = menuBar()->addMenu(QStringLiteral("Session"));
    session->addAction(QStringLiteral("Add Child Session"),
                       [] { CSessionHost::AddChildSession(); });
    m_closeAllChildren = session->addAction(QStringLiteral("Close All Child Sessions"),
                                            [] { CSessionHost::DestroyAllChildSessions(); });
    connect(session, &QMenu::aboutToShow, this,
            [this] { m_closeAllChildren->setEnabled(CSessionHost::HasChildSessions()); });
    session->addSeparator();
    session->addAction(QStringLiteral("Exit"), this, &QWidget::close);
    QMenu* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->addAction(QStringLiteral("About Brivox.."), this, [this] { ShowAbout(); });

    // The framework's New command: no document to make, the view is only refreshed.
    auto* newDocument = new QAction(this);
    newDocument->setShortcut(QKeySequence::New);
    connect(newDocument, &QAction::triggered, this, [this] { m_document.OnNewDocument(); });
    addAction(newDocument);
}

void CMainFrame::ShowAbout() {
    CAboutBox about(this);
    about.exec();
}

void CMainFrame::ActivateFrame() {
    const bool maximized = m_firstActivation && m_maximizedAtStart;
    m_firstActivation = false;
    if (maximized)
        showMaximized();
    else
        show();
    m_sizeGuard.Start();
}

void CMainFrame::RecordState() {
    const QRect rect = geometry().marginsAdded(FrameMargins(this));
    RecordWindowState({true, isMinimized(), isMaximized(), rect.left(), rect.top(),
                       rect.right() + 1, rect.bottom() + 1},
                      m_windowState);
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    m_recordTimer.start();
    if (const CSessionHost* host = m_view != nullptr ? m_view->MainHost() : nullptr)
        CSessionHost::ResetCascadeOrigin(host->mapToGlobal(QPoint(0, 0)));
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    m_recordTimer.start();
    m_sizeGuard.OnResized();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    m_recordTimer.start();
    m_sizeGuard.OnStateChanged();
    if (m_fitPending && !isMaximized() && !isMinimized()) {
        // A frame that started maximised was never placed normally: the window manager would
        // restore it where it was maximised. It goes where it was left, at its fitted size, once
        // the window manager has settled its borders for the normal state.
        m_fitPending = false;
        m_placeOnRestore = true;
        m_sizeGuard.RefitSoon();
    }
}

void CMainFrame::Refit() {
    if (std::exchange(m_placeOnRestore, false))
        MoveFrameTo(this, QPoint(m_placement.x, m_placement.y));
    FitToForm();
}

void CMainFrame::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    if (!m_firstPaint)
        return;
    m_firstPaint = false;
    FitToForm();
}

void CMainFrame::FitToForm() {
    const CSessionHost* host = m_view->MainHost();
    if (host == nullptr || host->Form() == nullptr)
        return;
    const QWidget* protocol = host->Form()->Control(idc::kProtocolGroup);
    TraceLine(std::to_string(protocol->mapToGlobal(QPoint(protocol->width(), 0)).x()));
    if (isMaximized()) {
        m_fitPending = true;
        return;
    }
    FitWindowAroundForm(this, *host->Form(), kFrameBottomMargin);
    m_sizeGuard.SetFittedSize(size()); // the form does not stretch
    RecordState();
}

// Closing the main frame ends the program, child sessions or not.
void CMainFrame::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

// A timer that reaches the frame is stopped.
void CMainFrame::timerEvent(QTimerEvent* event) {
    killTimer(event->timerId());
    QMainWindow::timerEvent(event);
}

} // namespace brivox
