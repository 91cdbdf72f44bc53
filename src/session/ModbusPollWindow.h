#pragma once

#include "session/PollDefinitionFile.h"
#include "session/PollTableModel.h"
#include "session/SessionPoll.h"

#include <QBasicTimer>
#include <QElapsedTimer>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableView;

namespace brivox {

class CLineTurn;
class CSerialPort;

// "MODBUS Poll...": a block of coils or registers of the session's port read again and again,
// the values as the type and order read them, the link's counters on a status line, and a
// double-click on a coil or holding register to write it. The poll itself is a CSessionPoll; the
// table refreshes at most at the screen's pace however fast the poll runs.
class CModbusPollWindow : public QWidget {
public:
    static constexpr char kTitle[] = "MODBUS Poll";
    static constexpr char kStart[] = "Start";
    static constexpr char kStop[] = "Stop";
    static constexpr int kRefreshMs = 33;
    static constexpr int kStatusMs = 250;

    CModbusPollWindow(QWidget* parent, CSerialPort& port, std::shared_ptr<CLineTurn> turn,
                      const std::string& definitionFolder);
    ~CModbusPollWindow() override;

    CSessionPoll& Poll() { return m_poll; }
    CPollTableModel& Model() { return m_model; }
    QSpinBox& SlaveBox() const { return *m_slave; }
    QComboBox& FunctionBox() const { return *m_function; }
    QLineEdit& StartBox() const { return *m_start; }
    QSpinBox& CountBox() const { return *m_count; }
    QSpinBox& RateBox() const { return *m_rate; }
    QComboBox& TypeBox() const { return *m_type; }
    QComboBox& OrderBox() const { return *m_order; }
    QCheckBox& AsciiBox() const { return *m_ascii; }
    QPushButton& StartButton() const { return *m_startButton; }
    QTableView& Table() const { return *m_table; }
    QLabel& StatusLine() const { return *m_status; }

    // Starts or stops the poll, as the button does.
    void Toggle();
    // Writes the text into the value's coil or registers; what went wrong goes on the status line.
    void Write(int row, const std::string& text);

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* MakeDefinitionBar();
    std::string ReadDefinition(CPollWindowDefinition& definition) const;
    void ShowDefinition(const CPollWindowDefinition& definition);
    void ResetTable();
    void OnCycle(const CModbusPollResult& result);
    void OnStopped(const std::string& reason);
    void Refresh();
    void ShowStatus();
    void OpenWriteDialog(const QModelIndex& index);
    void SaveDefinition();
    void SetStatusError(const std::string& error);

    CPollDefinitionFiles m_files;
    CPollWindowDefinition m_definition; // of the block shown
    CPollTableModel m_model;
    CSessionPoll m_poll;
    QSpinBox* m_slave;
    QComboBox* m_function;
    QLineEdit* m_start;
    QSpinBox* m_count;
    QSpinBox* m_rate;
    QComboBox* m_type;
    QComboBox* m_order;
    QCheckBox* m_ascii;
    QPushButton* m_startButton;
    QTableView* m_table;
    QLabel* m_status;
    std::vector<uint16_t> m_registers; // of the last valid read
    std::string m_error;               // of the last cycle, or of a write
    bool m_dirty = false;
    std::string m_shownError;
    QElapsedTimer m_sinceRefresh;
    QElapsedTimer m_sinceStatus;
    QBasicTimer m_refresh;
};

} // namespace brivox
