#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <memory>
#include <string>

class QListWidget;
class QTextEdit;

namespace brivox {

namespace x11 {
class CPropertyWatch;
}

class CHistoryList;
class CSessionForm;

// Where the History window's frame goes: its top level with the button's, its right edge 10
// pixels left of the button; then shifted just enough to lie inside the screen's available area
// (a list whose text is off the screen cannot be used).
QPoint HistoryFramePosition(const QRect& button, const QSize& frame, const QRect& available);

// Dialog 134: the texts sent in one mode, offered again to the form that opened it. Modeless; it
// goes as soon as it loses activation, except while it is busy asking a question or sending,
// which would otherwise close it under itself.
class CHistoryWindow : public QDialog {
public:
    CHistoryWindow(CSessionForm& form, CHistoryList& list);
    ~CHistoryWindow() override;

    CSessionForm* Form() const;
    int ListIndex() const;
    // Beside the button, by the frame, from when it is shown; placed again once the window
    // manager has told the frame's borders.
    void PlaceLeftOf(const QWidget& button);
    // The list changed behind the window: the list box shows it again.
    void Refill();

protected:
    void reject() override; // Escape and the hidden "Cancel"
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Place();
    void Connect();
    void UpdateButtons();
    int Selected() const;
    void OnSelectionChanged();
    void OnDoubleClicked(int row);
    void OnDelete();
    void OnMemory();
    void OnDeleteAll();
    bool Ask(const std::string& question);
    void PutIntoInputBox(int row);
    void RestoreInputBox();
    // OK, Cancel and a plain double-click: the form's caret comes back after the window.
    void CloseAndRefocus();
    void CloseQuietly();
    QListWidget* ListBox() const;
    QTextEdit* InputBox() const;

    QPointer<CSessionForm> m_form;
    CHistoryList& m_list;
    QString m_textAtOpening;
    bool m_autoClose = true;
    bool m_closing = false;
    QPointer<const QWidget> m_anchor;
    bool m_firstPaint = true;
    std::unique_ptr<x11::CPropertyWatch> m_frameWatch;
};

} // namespace brivox
