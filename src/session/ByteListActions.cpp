#include "session/ByteListActions.h"

#include "platform/FileDialog.h"
#include "platform/FileIO.h"
#include "platform/MessageBox.h"
#include "session/ByteListModel.h"
#include "session/ByteSelectionModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTableView>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace brivox {

// What the threads of copies and saves keep of the actions: them while they live.
struct CListJobLink {
    std::mutex mutex;
    CByteListActions* actions = nullptr;
};

namespace {

bool IsCopyKey(QEvent* event) {
    return (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
           static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy);
}

bool NamesRawFile(const std::string& path) {
    return QString::fromStdString(path).endsWith(QLatin1String(".bin"), Qt::CaseInsensitive);
}

// The chosen rows as they are now (rows already gone are empty), renumbered from 0.
std::vector<CByteRow> TakeRows(const CByteListModel& model, CCellSelection& cells) {
    std::vector<CByteRow> rows(cells.masks.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        if (const CByteRow* row = model.RowAt(cells.firstRow + static_cast<int>(i)))
            rows[i] = *row;
    }
    cells.firstRow = 0;
    return rows;
}

// Runs the work over a copy of the chosen rows on a thread of its own, so that the window goes
// on meanwhile; its result is handed to done on the UI thread, while the actions live.
template <typename Work, typename Done>
void RunOnRows(const std::shared_ptr<CListJobLink>& link, const CByteListModel& model,
               CCellSelection cells, Work work, Done done) {
    auto rows = std::make_shared<const std::vector<CByteRow>>(TakeRows(model, cells));
    std::thread([link, rows, cells = std::move(cells), work = std::move(work),
                 done = std::move(done)] {
        const RowLookup lookup = [&rows](int row) {
            return row < static_cast<int>(rows->size()) ? &(*rows)[static_cast<size_t>(row)]
                                                        : nullptr;
        };
        auto result = work(lookup, cells);
        const std::lock_guard lock(link->mutex);
        if (CByteListActions* actions = link->actions)
            QMetaObject::invokeMethod(
                actions, [actions, result = std::move(result), done] { done(*actions, result); },
                Qt::QueuedConnection);
    }).detach();
}

} // namespace

CByteListActions::CByteListActions(QTableView& view, CByteListModel& model,
                                   CByteSelectionModel& selection)
    : m_view(view), m_model(model), m_selection(selection),
      m_link(std::make_shared<CListJobLink>()) {
    m_link->actions = this;
    m_view.installEventFilter(this);
}

CByteListActions::~CByteListActions() {
    const std::lock_guard lock(m_link->mutex);
    m_link->actions = nullptr;
}

// Without a selection the clipboard keeps what it has.
void CByteListActions::Copy(CopyFormat format) {
    if (!m_selection.hasSelection())
        return;
    const uint64_t copy = ++m_copies;
    RunOnRows(
        m_link, m_model, m_selection.SelectedCells(),
        [format](const RowLookup& rows, const CCellSelection& cells) {
            return QByteArray::fromStdString(TrafficText(rows, cells, format));
        },
        [copy](CByteListActions& actions, const QByteArray& text) {
            actions.PutOnClipboard(text, copy);
        });
}

// Handed over as bytes: text of hundreds of megabytes is not made again as UTF-16.
void CByteListActions::PutOnClipboard(const QByteArray& text, uint64_t copy) {
    if (copy != m_copies)
        return;
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain"), text);
    QGuiApplication::clipboard()->setMimeData(data);
}

void CByteListActions::SaveTo(const std::string& path) {
    m_model.Flush(); // what came since the last refresh belongs to the list too
    const int rowCount = m_model.rowCount();
    const int64_t dropped = m_model.DroppedBytes();
    RunOnRows(
        m_link, m_model, WholeRows(rowCount),
        [path, rowCount, dropped](const RowLookup& rows, const CCellSelection&) {
            const std::string error = WriteOutputFile(
                path, NamesRawFile(path) ? TrafficBytes(rows, rowCount)
                                         : SavedTrafficText(rows, rowCount, dropped));
            return error.empty() ? error : "Cannot save " + error;
        },
        [](CByteListActions& actions, const std::string& error) {
            if (!error.empty())
                ShowMessage(error, "Error", kMbOk, actions.m_view.window());
        });
}

void CByteListActions::SaveAs() {
    const std::string suggested =
        DocumentsFolder() + (m_model.IsRxOnly() ? "/rx-list.txt" : "/tx-rx-list.txt");
    const std::string path = ChooseFileToSave(
        kSaveAs, "Text (*.txt);;Raw bytes (*.bin);;All Files (*)", suggested, &m_view);
    if (!path.empty())
        SaveTo(path);
}

void CByteListActions::AddTo(QMenu& menu) {
    const std::pair<const char*, CopyFormat> copies[] = {{kCopyHex, CopyFormat::Hex},
                                                         {kCopyText, CopyFormat::Text},
                                                         {kCopyCArray, CopyFormat::CArray}};
    for (const auto& [text, format] : copies) {
        QAction* action = menu.addAction(QString::fromLatin1(text));
        action->setEnabled(m_selection.hasSelection());
        if (format == CopyFormat::Hex)
            action->setShortcut(QKeySequence::Copy);
        QObject::connect(action, &QAction::triggered, &menu, [this, format] { Copy(format); });
    }
    QObject::connect(menu.addAction(QString::fromLatin1(kSaveAs)), &QAction::triggered, &menu,
                     [this] { SaveAs(); });
}

// Ctrl+C copies as hex; the view's own copy would take only the current cell's decimal text.
bool CByteListActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &m_view || !IsCopyKey(event))
        return QObject::eventFilter(watched, event);
    event->accept();
    if (event->type() == QEvent::KeyPress)
        Copy(CopyFormat::Hex);
    return true;
}

} // namespace brivox
