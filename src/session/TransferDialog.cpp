#include "session/TransferDialog.h"

#include "platform/FileDialog.h"
#include "session/SessionTransfer.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

namespace brivox {

namespace {

constexpr int kMaxDelayMs = 60000;

QSpinBox* DelayBox() {
    auto* box = new QSpinBox;
    box->setRange(0, kMaxDelayMs);
    box->setSuffix(QStringLiteral(" ms"));
    return box;
}

} // namespace

CTransferDialog::CTransferDialog(QWidget* parent, CSessionTransfer& transfer, bool receiving)
    : QDialog(parent), m_transfer(transfer), m_receiving(receiving), m_protocol(new QComboBox),
      m_path(new QLineEdit), m_charDelay(DelayBox()), m_lineDelay(DelayBox()),
      m_prompt(new QLineEdit), m_bar(new QProgressBar), m_status(new QLabel),
      m_start(new QPushButton(kStart)), m_cancel(new QPushButton(kCancel)) {
    setWindowTitle(QString::fromLatin1(receiving ? kReceiveTitle : kSendTitle));
    if (!receiving)
        m_protocol->addItem(QStringLiteral("raw"));
    m_protocol->addItems({"xmodem", "xmodem-1k", "ymodem", "zmodem"});
    auto* browse = new QPushButton(kBrowse);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(m_path, 1);
    pathRow->addWidget(browse);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Protocol"), m_protocol);
    form->addRow(QString::fromLatin1(receiving ? "Save as" : "File"), pathRow);
    if (!receiving) {
        form->addRow(QStringLiteral("Delay after each character"), m_charDelay);
        form->addRow(QStringLiteral("Delay after each line"), m_lineDelay);
        form->addRow(QStringLiteral("Wait after each line for"), m_prompt);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_bar);
    layout->addWidget(m_status);
    layout->addLayout(buttons);
    connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
    connect(m_start, &QPushButton::clicked, this, [this] { Start(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_transfer.Cancel(); });
    connect(m_protocol, &QComboBox::currentTextChanged, this, [this] { Refresh(); });
    Refresh();
}

CTransferDialog::~CTransferDialog() {
    m_transfer.SetHooks({});
}

void CTransferDialog::Browse() {
    const std::string path =
        m_receiving ? ChooseFileToSave("Receive File", "All files (*)", "received.bin", this)
                    : ChooseFileToOpen("Send File", "All files (*)", this);
    if (!path.empty())
        m_path->setText(QString::fromStdString(path));
}

void CTransferDialog::Start() {
    TransferProtocol protocol = TransferProtocol::Raw;
    ParseTransferProtocol(m_protocol->currentText().toStdString(), protocol);
    const std::string path = m_path->text().toStdString();
    // The dialog that starts a transfer shows it.
    m_transfer.SetHooks({[this](int64_t bytes, int64_t total) { Show(bytes, total); },
                         [this](const std::string& line, bool ok) { Done(line, ok); }});
    std::string error;
    if (path.empty()) {
        error = m_receiving ? "Choose where the file goes." : "Choose the file to send.";
    } else if (m_receiving) {
        const std::filesystem::path target(path);
        error =
            m_transfer.Receive(target.parent_path().string(), target.filename().string(), protocol);
    } else {
        CPacing pacing;
        pacing.charDelayMs = m_charDelay->value();
        pacing.lineDelayMs = m_lineDelay->value();
        pacing.prompt = m_prompt->text().toStdString();
        error = m_transfer.Send(path, protocol, pacing);
    }
    m_bar->setRange(0, 0);
    m_status->setText(QString::fromStdString(error));
    Refresh();
}

void CTransferDialog::Show(int64_t bytes, int64_t total) {
    // XMODEM counts whole blocks, past the end of a file that does not fill its last one.
    if (total >= 0)
        bytes = std::min(bytes, total);
    QString text = QString::number(bytes) + QStringLiteral(" bytes");
    if (total > 0) {
        const int percent = static_cast<int>(bytes * 100 / total);
        m_bar->setRange(0, 100);
        m_bar->setValue(percent);
        text += QStringLiteral(" of ") + QString::number(total) + QStringLiteral(" (") +
                QString::number(percent) + QStringLiteral("%)");
    }
    m_status->setText(text + QStringLiteral(", ") + QString::fromStdString(m_transfer.Rate(bytes)));
}

void CTransferDialog::Done(const std::string& line, bool ok) {
    m_bar->setRange(0, 100);
    m_bar->setValue(ok ? 100 : 0);
    m_status->setText(QString::fromStdString(line));
    Refresh();
}

void CTransferDialog::Refresh() {
    const bool running = m_transfer.Running();
    m_start->setEnabled(!running);
    m_cancel->setEnabled(running);
    m_protocol->setEnabled(!running);
    const bool raw = m_protocol->currentText() == QStringLiteral("raw");
    for (QWidget* pacing : std::initializer_list<QWidget*>{m_charDelay, m_lineDelay, m_prompt})
        pacing->setEnabled(raw && !running);
}

} // namespace brivox
