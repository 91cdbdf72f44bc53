#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace brivox {

class CSessionTransfer;

// "Send File..." and "Receive File...": the protocol, the file (or where received files go),
// the pacing of a raw send, and the progress with Cancel. The transfer itself is the
// session's; closing the dialog does not end it.
class CTransferDialog : public QDialog {
public:
    static constexpr char kSendTitle[] = "Send File";
    static constexpr char kReceiveTitle[] = "Receive File";
    static constexpr char kBrowse[] = "Browse...";
    static constexpr char kStart[] = "Start";
    static constexpr char kCancel[] = "Cancel";

    CTransferDialog(QWidget* parent, CSessionTransfer& transfer, bool receiving);
    ~CTransferDialog() override;

    QComboBox& Protocol() const { return *m_protocol; }
    QLineEdit& Path() const { return *m_path; }
    QLineEdit& Prompt() const { return *m_prompt; }
    QSpinBox& LineDelay() const { return *m_lineDelay; }
    QPushButton& StartButton() const { return *m_start; }
    QPushButton& CancelButton() const { return *m_cancel; }
    QProgressBar& Bar() const { return *m_bar; }
    QLabel& Status() const { return *m_status; }

private:
    void Browse();
    void Start();
    void Show(int64_t bytes, int64_t total);
    void Done(const std::string& line, bool ok);
    void Refresh();

    CSessionTransfer& m_transfer;
    const bool m_receiving;
    QComboBox* m_protocol;
    QLineEdit* m_path;
    QSpinBox* m_charDelay;
    QSpinBox* m_lineDelay;
    QLineEdit* m_prompt;
    QProgressBar* m_bar;
    QLabel* m_status;
    QPushButton* m_start;
    QPushButton* m_cancel;
};

} // namespace brivox
