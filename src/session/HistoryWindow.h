#pragma once

#include <QDialog>
#include <QPointer>
#include <string>

class QListWidget;
class QTextEdit;

namespace brivox {

class CHistoryList;
class CSessionForm;

// Dialog 134: the texts sent in one mode, offered again to the form that opened it. Modeless; it
// goes as soon as it loses activation, except while it is busy asking a question or sending,
// which would otherwise close it under itself.
class CHistoryWindow : public QDialog {
public:
    CHistoryWindow(CSessionForm& form, CHistoryList& list);

    CSessionForm* Form() const;
    int ListIndex() const;
    // Top level with the button, the right edge of its frame 10 pixels left of the button.
    void PlaceLeftOf(const QWidget& button);
    // The list changed behind the window: the list box shows it again.
    void Refill();

protected:
    void reject() override; // Escape and the hidden "Cancel"
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
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
};

} // namespace brivox
