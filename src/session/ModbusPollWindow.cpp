#include "session/ModbusPollWindow.h"

#include "modbus/ModbusWrite.h"
#include "session/PollWriteDialog.h"
#include "util/Text.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTimerEvent>
#include <QVBoxLayout>

namespace brivox {

namespace {

constexpr const char* kFunctions[] = {"01 Coils", "02 Discrete inputs", "03 Holding registers",
                                      "04 Input registers"};
constexpr int kLongestRateMs = 3600000;

QSpinBox* SpinBox(int low, int high, const char* suffix = "") {
    auto* box = new QSpinBox;
    box->setRange(low, high);
    box->setSuffix(QString::fromLatin1(suffix));
    return box;
}

bool ReadsBits(int function) {
    return function <= 0x02;
}

} // namespace

CModbusPollWindow::CModbusPollWindow(QWidget* parent, CSerialPort& port,
                                     std::shared_ptr<CLineTurn> turn,
                                     const std::string& definitionFolder)
    : QWidget(parent, Qt::Window), m_files(definitionFolder),
      m_poll(port, std::move(turn),
             {[this](const CModbusPollResult& result) { OnCycle(result); },
              [this](const std::string& reason) { OnStopped(reason); }}),
      m_slave(SpinBox(1, 247)), m_function(new QComboBox), m_start(new QLineEdit),
      m_count(SpinBox(1, 2000)), m_rate(SpinBox(0, kLongestRateMs, " ms")), m_type(new QComboBox),
      m_order(new QComboBox), m_ascii(new QCheckBox("ASCII")),
      m_startButton(new QPushButton(kStart)), m_table(new QTableView), m_status(new QLabel) {
    setWindowTitle(QString::fromLatin1(kTitle));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MakeDefinitionBar());
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setWordWrap(true);
    m_table->setModel(&m_model);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setEditTriggers(QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::SelectedClicked);
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenWriteDialog(index); });
    connect(m_startButton, &QPushButton::clicked, this, [this] { Toggle(); });
    m_model.SetOnAliasEdited([this] { SaveDefinition(); });
    CPollWindowDefinition definition;
    m_files.LoadLatest(definition);
    ShowDefinition(definition);
    m_definition = definition;
    ResetTable();
    resize(560, 480);
}

// The table, a child, outlives the model, a member.
CModbusPollWindow::~CModbusPollWindow() {
    m_table->setModel(nullptr);
}

QWidget* CModbusPollWindow::MakeDefinitionBar() {
    for (const char* function : kFunctions)
        m_function->addItem(QString::fromLatin1(function));
    for (int type = 0; type <= static_cast<int>(ModbusValueType::String); ++type)
        m_type->addItem(
            QString::fromStdString(ModbusValueTypeName(static_cast<ModbusValueType>(type))));
    for (int order = 0; order <= static_cast<int>(ModbusWordOrder::DCBA); ++order)
        m_order->addItem(
            QString::fromStdString(ModbusWordOrderName(static_cast<ModbusWordOrder>(order))));
    m_start->setInputMask(">HHHH");
    m_start->setMinimumWidth(m_start->fontMetrics().horizontalAdvance(QStringLiteral("FFFFFF")));
    auto* bar = new QWidget;
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char*, QWidget*> fields[] = {
        {"Slave", m_slave},    {"", m_function}, {"Start", m_start}, {"Count", m_count},
        {"Scan rate", m_rate}, {"Type", m_type}, {"Order", m_order}};
    for (const auto& [label, field] : fields) {
        if (*label)
            layout->addWidget(new QLabel(QString::fromLatin1(label)));
        layout->addWidget(field);
    }
    layout->addWidget(m_ascii);
    layout->addWidget(m_startButton);
    return bar;
}

void CModbusPollWindow::ShowDefinition(const CPollWindowDefinition& d) {
    m_slave->setValue(d.poll.slave);
    m_function->setCurrentIndex(d.poll.function - 1);
    m_start->setText(QString::fromStdString(FormatNumber(d.poll.start, 16, 4)));
    m_count->setValue(d.poll.count);
    m_rate->setValue(d.poll.intervalMs);
    m_type->setCurrentIndex(static_cast<int>(d.values.type));
    m_order->setCurrentIndex(static_cast<int>(d.values.order));
    m_ascii->setChecked(d.poll.transport == ModbusTransport::Ascii);
}

std::string CModbusPollWindow::ReadDefinition(CPollWindowDefinition& d) const {
    d.poll.slave = m_slave->value();
    d.poll.function = m_function->currentIndex() + 1;
    bool ok = false;
    d.poll.start = m_start->text().toInt(&ok, 16);
    if (!ok)
        return "the start is 1 to 4 hex digits";
    d.poll.count = m_count->value();
    d.poll.intervalMs = m_rate->value();
    d.poll.transport = m_ascii->isChecked() ? ModbusTransport::Ascii : ModbusTransport::Rtu;
    d.values.type = static_cast<ModbusValueType>(m_type->currentIndex());
    d.values.order = static_cast<ModbusWordOrder>(m_order->currentIndex());
    d.values.stringRegisters = d.poll.count;
    if (ReadsBits(d.poll.function))
        d.values = CModbusValueFormat{};
    if (d.poll.count % RegistersPerValue(d.values) != 0)
        return "the count is no whole number of " + ModbusValueTypeName(d.values.type) + " values";
    return CheckModbusPollDefinition(d.poll);
}

void CModbusPollWindow::ResetTable() {
    const int step = RegistersPerValue(m_definition.values);
    std::vector<int> addresses;
    for (int offset = 0; offset < m_definition.poll.count; offset += step)
        addresses.push_back(m_definition.poll.start + offset);
    m_model.Reset(addresses, m_definition.aliases);
    m_registers.clear();
}

void CModbusPollWindow::Toggle() {
    if (m_poll.Running()) {
        m_poll.Stop();
        m_startButton->setText(kStart);
        return ShowStatus();
    }
    CPollWindowDefinition definition;
    if (std::string error = ReadDefinition(definition); !error.empty())
        return SetStatusError(error);
    const bool sameBlock = definition.poll.slave == m_definition.poll.slave &&
                           definition.poll.function == m_definition.poll.function &&
                           definition.poll.start == m_definition.poll.start;
    CPollWindowDefinition stored;
    if (sameBlock)
        definition.aliases = m_definition.aliases;
    else if (m_files.Load(definition.poll.slave, definition.poll.function, definition.poll.start,
                          stored))
        definition.aliases = stored.aliases;
    if (std::string error = m_poll.Start(definition.poll); !error.empty())
        return SetStatusError(error);
    m_definition = definition;
    ResetTable();
    SaveDefinition();
    m_error.clear();
    m_startButton->setText(kStop);
}

void CModbusPollWindow::OnCycle(const CModbusPollResult& result) {
    const bool read = !result.request.empty() && result.request[1] == m_definition.poll.function;
    if (!read) // a write
        m_error = result.outcome == ModbusPollOutcome::Valid ? "" : "write: " + result.error;
    else if (result.outcome == ModbusPollOutcome::Valid) {
        m_registers = result.values; // formatted when shown, not every cycle
        m_error.clear();
    } else
        m_error = result.error;
    m_dirty = true;
    if (!m_sinceRefresh.isValid() || m_sinceRefresh.elapsed() >= kRefreshMs)
        Refresh();
    else if (!m_refresh.isActive())
        m_refresh.start(kRefreshMs - static_cast<int>(m_sinceRefresh.elapsed()), this);
}

void CModbusPollWindow::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_refresh.timerId())
        return QWidget::timerEvent(event);
    m_refresh.stop();
    if (m_dirty)
        Refresh();
}

void CModbusPollWindow::Refresh() {
    m_dirty = false;
    m_sinceRefresh.start();
    m_model.SetValues(ReadsBits(m_definition.poll.function)
                          ? FormatModbusValues(m_registers, CModbusValueFormat{})
                          : FormatModbusValues(m_registers, m_definition.values));
    if (!m_sinceStatus.isValid() || m_sinceStatus.elapsed() >= kStatusMs || m_error != m_shownError)
        ShowStatus();
}

// The counters are laid out as text, which costs more than the table: a few times a second is
// enough to read them, and an error shows at once.
void CModbusPollWindow::ShowStatus() {
    m_sinceStatus.start();
    m_shownError = m_error;
    const CModbusPoll* poll = m_poll.Poll();
    std::string text =
        poll ? poll->Statistics().Summary(m_definition.poll.transport == ModbusTransport::Ascii)
             : "";
    if (!m_error.empty())
        text += "\nerror: " + m_error;
    m_status->setText(QString::fromStdString(text));
}

void CModbusPollWindow::OnStopped(const std::string& reason) {
    m_startButton->setText(kStart);
    SetStatusError(reason);
}

void CModbusPollWindow::SetStatusError(const std::string& error) {
    m_error = error;
    Refresh();
}

void CModbusPollWindow::OpenWriteDialog(const QModelIndex& index) {
    const int function = m_definition.poll.function;
    if (index.column() == CPollTableModel::kAlias || (function != 0x01 && function != 0x03))
        return; // inputs cannot be written
    const int row = index.row();
    const std::string what =
        "Write " + FormatNumber(m_model.AddressAt(row), 16, 4) + " (" +
        (function == 0x01 ? "coil: 0 or 1" : ModbusValueTypeName(m_definition.values.type)) + ")";
    auto* dialog = new CPollWriteDialog(this, what, m_model.ValueAt(row),
                                        [this, row](const std::string& text) { Write(row, text); });
    dialog->show();
}

void CModbusPollWindow::Write(int row, const std::string& text) {
    CModbusWrite write;
    write.slave = m_definition.poll.slave;
    write.start = m_model.AddressAt(row);
    std::string error;
    if (m_definition.poll.function == 0x01) {
        write.function = 0x05;
        error = text == "0" || text == "1" ? "" : "a coil is 0 or 1";
        write.values = {static_cast<uint16_t>(text == "1")};
    } else {
        error = EncodeModbusValue(text, m_definition.values, write.values);
        write.function = write.values.size() == 1 ? 0x06 : 0x10;
    }
    std::vector<uint8_t> adu;
    if (error.empty())
        error = BuildModbusWrite(write, adu);
    if (error.empty() && !m_poll.Queue(std::move(adu)))
        error = "start the poll to write";
    if (!error.empty())
        SetStatusError("write: " + error);
}

void CModbusPollWindow::SaveDefinition() {
    m_definition.aliases = m_model.Aliases();
    if (std::string error = m_files.Save(m_definition); !error.empty())
        SetStatusError(error);
}

void CModbusPollWindow::closeEvent(QCloseEvent* event) {
    m_poll.Stop();
    m_startButton->setText(kStart);
    QWidget::closeEvent(event);
}

} // namespace brivox
