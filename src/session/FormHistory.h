#pragma once

#include <QObject>
#include <QTimer>
#include <string>

namespace brivox {

class CHistoryList;
class CSessionForm;

// A session form's side of the send history: what it sends goes into the list of its mode; the
// "History .." button opens or closes the application's History window, a click on the form
// closes it; "?" shows the guide to the script syntax. Timer 3790 gives the input box back its
// caret after the window.
class CFormHistory : public QObject {
public:
    explicit CFormHistory(CSessionForm& form);
    ~CFormHistory() override; // a window of this form goes with it

    void Record(int mode, const std::string& text);
    void ToggleWindow();
    void CloseWindow();
    void ArmRefocus();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refocus();
    void ShowGuide();

    CSessionForm& m_form;
    QTimer m_refocusTimer; // timer 3790
};

} // namespace brivox
