#include "session/ModemLineIndicators.h"

#include <QHBoxLayout>
#include <QLabel>

namespace brivox {

namespace {

constexpr const char* kNames[] = {"CTS", "DSR", "DCD", "RI"};
constexpr char kOn[] = "background:#3cb043;color:white;border-radius:3px;padding:0 3px";
constexpr char kOff[] = "background:#d8d8d8;color:#404040;border-radius:3px;padding:0 3px";
constexpr char kNone[] = "background:#f0f0f0;color:#a0a0a0;border-radius:3px;padding:0 3px";

} // namespace

CModemLineIndicators::CModemLineIndicators(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(3);
    for (size_t i = 0; i < m_lamps.size(); ++i) {
        m_lamps[i] = new QLabel(QString::fromLatin1(kNames[i]), this);
        row->addWidget(m_lamps[i]);
    }
    ShowUnavailable();
}

void CModemLineIndicators::Show(const CModemLines& lines) {
    const bool states[] = {lines.cts, lines.dsr, lines.dcd, lines.ri};
    for (int i = 0; i < 4; ++i)
        Light(i, states[i]);
    setToolTip(QString::fromStdString(ModemLinesText(lines)));
}

void CModemLineIndicators::ShowUnavailable() {
    for (int i = 0; i < 4; ++i) {
        m_lit[i] = false;
        m_lamps[i]->setStyleSheet(QString::fromLatin1(kNone));
    }
    setToolTip(QStringLiteral("The port is closed, or its device has no modem lines"));
}

bool CModemLineIndicators::IsLit(int lamp) const {
    return m_lit.at(static_cast<size_t>(lamp));
}

void CModemLineIndicators::Light(int lamp, bool on) {
    m_lit[static_cast<size_t>(lamp)] = on;
    m_lamps[static_cast<size_t>(lamp)]->setStyleSheet(QString::fromLatin1(on ? kOn : kOff));
}

} // namespace brivox
