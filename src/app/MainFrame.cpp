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
#include <QTimerEvent>

namespace brivox {

namespace {

constexpr int kFrameBottomMargin = 7;

CScreenSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen != nullptr ? screen->size() : QSize(1024, 768);
    return {size.width(), size.height()};
}

} // namespace

CMainFrame::CMainFrame(const std::string& windowStatePath)
    : m_windowStatePath(windowStatePath), m_view(new CBrivoxView(this)), m_document(*m_view) {
    CFrameCreateRecord placement;
    LoadWindowState(m_windowStatePath, placement, m_maximizedAtStart, 0, 0, PrimaryScreenSize());
    move(placement.x, placement.y);
    resize(placement.cx, placement.cy);
    setWindowTitle(QString::fromStdString("Brivox v" + VersionText(VersionNumber())));
    setCentralWidget(m_view);
    CreateMenus();
    m_view->OnInitialUpdate();
}

CMainFrame::~CMainFrame() {
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
}

void CMainFrame::RecordState() {
    const QRect rect = frameGeometry();
    RecordWindowState({true, isMinimized(), isMaximized(), rect.left(), rect.top(),
                       rect.right() + 1, rect.bottom() + 1},
                      m_windowState);
}

void CMainFrame::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    RecordState();
    if (const CSessionHost* host = m_view != nullptr ? m_view->MainHost() : nullptr)
        CSessionHost::ResetCascadeOrigin(host->mapToGlobal(QPoint(0, 0)));
}

void CMainFrame::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    RecordState();
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        RecordState();
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
    if (isMaximized())
        return;
    FitWindowAroundForm(this, *host->Form(), kFrameBottomMargin);
    setFixedSize(size()); // no resize border: the form does not stretch
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
