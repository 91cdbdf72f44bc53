#pragma once

#include "serial/ModemLineWatch.h"

#include <QWidget>
#include <array>

class QLabel;

namespace brivox {

// A row of four lamps for the modem input lines, CTS, DSR, DCD and RI: green while a line is on,
// grey while off, and all of them dimmed with a tooltip when the device has no such lines.
class CModemLineIndicators : public QWidget {
public:
    explicit CModemLineIndicators(QWidget* parent);

    void Show(const CModemLines& lines);
    void ShowUnavailable();
    // Whether a lamp (0 CTS, 1 DSR, 2 DCD, 3 RI) shows its line on.
    bool IsLit(int lamp) const;

private:
    void Light(int lamp, bool on);

    std::array<QLabel*, 4> m_lamps{};
    std::array<bool, 4> m_lit{};
};

} // namespace brivox
