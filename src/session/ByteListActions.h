#pragma once

#include "session/TrafficText.h"

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <memory>
#include <string>

class QMenu;
class QTableView;

namespace brivox {

class CByteListModel;
class CByteSelectionModel;

struct CListJobLink;

// What a user takes away from a traffic list: the selected bytes on the clipboard (Ctrl+C and
// "Copy as Hex", "Copy as Text", "Copy as C array") and the whole list in a file ("Save List
// As...": a .bin file gets the bytes themselves, any other the lines of a hex copy).
//
// A copy or a save takes the rows as they are and writes their text on a thread of its own: 64
// MiB of bytes are hundreds of megabytes of text, more than the window may wait for. The
// clipboard gets the text of the latest copy once it is made; a save that fails says so.
class CByteListActions : public QObject {
public:
    static constexpr char kCopyHex[] = "Copy as Hex";
    static constexpr char kCopyText[] = "Copy as Text";
    static constexpr char kCopyCArray[] = "Copy as C array";
    static constexpr char kSaveAs[] = "Save List As...";

    CByteListActions(QTableView& view, CByteListModel& model, CByteSelectionModel& selection);
    ~CByteListActions() override; // a copy still being written goes nowhere

    void Copy(CopyFormat format);
    // The list as the file's name asks for it.
    void SaveTo(const std::string& path);
    // Asks for the file, then saves; a failure is shown.
    void SaveAs();
    // The actions, first in the lists' context menu.
    void AddTo(QMenu& menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PutOnClipboard(const QByteArray& text, uint64_t copy);

    QTableView& m_view;
    CByteListModel& m_model;
    CByteSelectionModel& m_selection;
    std::shared_ptr<CListJobLink> m_link;
    uint64_t m_copies = 0; // the latest copy asked for; an older one that ends later is dropped
};

} // namespace brivox
