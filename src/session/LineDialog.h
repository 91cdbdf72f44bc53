#pragma once

#include "serial/LineConfig.h"
#include "serial/LinePolicy.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;

namespace brivox {

// What the "Line..." dialog sets on a session's port beyond the form's controls.
struct CLineChoice {
    std::optional<CLineConfig> line; // none: the form's settings
    FlowControl flow = FlowControl::None;
    CLinePolicy policy;
};

// Any rate, 5 to 8 data bits, mark and space parity, 1.5 stop bits, flow control, and what
// becomes of DTR and RTS at open and close; the form's own controls keep the settings they
// always had. OK checks the line and says what is wrong in a message box, staying open.
class CLineDialog : public QDialog {
public:
    static constexpr char kTitle[] = "Line";
    static constexpr char kInsteadOfForm[] = "Use this line instead of the form's settings";

    CLineDialog(QWidget* parent, const CLineChoice& choice, const CLineConfig& formLine);

    const CLineChoice& Choice() const { return m_choice; }

    QCheckBox& InsteadOfForm() const { return *m_instead; }
    QComboBox& Rate() const { return *m_rate; }
    QComboBox& DataBits() const { return *m_dataBits; }
    QComboBox& Parity() const { return *m_parity; }
    QComboBox& StopBits() const { return *m_stopBits; }
    QComboBox& Flow() const { return *m_flow; }
    QComboBox& Dtr() const { return *m_dtr; }
    QComboBox& Rts() const { return *m_rts; }

    void accept() override;

private:
    void Show(const CLineChoice& choice, const CLineConfig& line);
    // The line the fields give; an error text.
    std::string ReadLine(CLineConfig& line) const;

    CLineChoice m_choice;
    QCheckBox* m_instead;
    QComboBox* m_rate;
    QComboBox* m_dataBits;
    QComboBox* m_parity;
    QComboBox* m_stopBits;
    QComboBox* m_flow;
    QComboBox* m_dtr;
    QComboBox* m_rts;
};

} // namespace brivox
