#include "session/LineDialog.h"

#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace brivox {

namespace {

// Rates devices need that the form's list lacks (DMX, MIDI, the ESP8266's boot log, fast USB
// adapters) among the usual ones; any other can be typed.
const QStringList kRates = {"300",     "1200",    "2400",    "4800",    "9600",    "19200",
                            "31250",   "38400",   "57600",   "74880",   "115200",  "230400",
                            "250000",  "460800",  "500000",  "921600",  "1000000", "2000000",
                            "3000000", "4000000", "6000000", "12000000"};
const QStringList kParities = {"None", "Even", "Odd", "Mark", "Space"};
constexpr char kParityLetters[] = "NEOMS";
const QStringList kStopBits = {"1", "1.5", "2"};
const QStringList kFlows = {"None", "RTS/CTS", "XON/XOFF"};
const QStringList kLevels = {"As the driver does", "Kept as they are", "Low", "High"};

QComboBox* Combo(QWidget* parent, const QStringList& items) {
    auto* combo = new QComboBox(parent);
    combo->addItems(items);
    return combo;
}

} // namespace

CLineDialog::CLineDialog(QWidget* parent, const CLineChoice& choice, const CLineConfig& formLine)
    : QDialog(parent), m_choice(choice) {
    setWindowTitle(QString::fromLatin1(kTitle));
    m_instead = new QCheckBox(QString::fromLatin1(kInsteadOfForm), this);
    m_rate = Combo(this, kRates);
    m_rate->setEditable(true);
    m_dataBits = Combo(this, {"5", "6", "7", "8"});
    m_parity = Combo(this, kParities);
    m_stopBits = Combo(this, kStopBits);
    m_flow = Combo(this, kFlows);
    m_dtr = Combo(this, kLevels);
    m_rts = Combo(this, kLevels);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Rate (baud)"), m_rate);
    fields->addRow(QStringLiteral("Data bits"), m_dataBits);
    fields->addRow(QStringLiteral("Parity"), m_parity);
    fields->addRow(QStringLiteral("Stop bits"), m_stopBits);
    fields->addRow(QStringLiteral("Flow control"), m_flow);
    fields->addRow(QStringLiteral("DTR at open and close"), m_dtr);
    fields->addRow(QStringLiteral("RTS at open and close"), m_rts);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CLineDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CLineDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_instead);
    layout->addLayout(fields);
    layout->addWidget(buttons);
    Show(choice, choice.line ? *choice.line : formLine);
}

void CLineDialog::Show(const CLineChoice& choice, const CLineConfig& line) {
    m_instead->setChecked(choice.line.has_value());
    m_rate->setCurrentText(QString::number(line.baud));
    m_dataBits->setCurrentText(QString::number(line.dataBits));
    m_parity->setCurrentIndex(static_cast<int>(std::string(kParityLetters).find(line.parity)));
    m_stopBits->setCurrentIndex(static_cast<int>(line.stopBits));
    m_flow->setCurrentIndex(static_cast<int>(choice.flow));
    m_dtr->setCurrentIndex(static_cast<int>(choice.policy.dtr));
    m_rts->setCurrentIndex(static_cast<int>(choice.policy.rts));
}

std::string CLineDialog::ReadLine(CLineConfig& line) const {
    const std::string text = m_rate->currentText().trimmed().toStdString() + "," +
                             kParityLetters[m_parity->currentIndex()] + "," +
                             m_dataBits->currentText().toStdString() + "," +
                             m_stopBits->currentText().toStdString();
    std::string error = ParseLineConfig(text, line);
    return error.empty() ? LineRefusal(line) : error;
}

void CLineDialog::accept() {
    CLineChoice choice;
    choice.flow = static_cast<FlowControl>(m_flow->currentIndex());
    choice.policy = {static_cast<LineLevel>(m_dtr->currentIndex()),
                     static_cast<LineLevel>(m_rts->currentIndex())};
    if (m_instead->isChecked()) {
        CLineConfig line;
        if (const std::string error = ReadLine(line); !error.empty()) {
            ShowMessage(error, "Error", kMbOk | kMbIconError, this);
            return;
        }
        choice.line = line;
    }
    m_choice = choice;
    QDialog::accept();
}

} // namespace brivox
