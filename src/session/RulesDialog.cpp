#include "session/RulesDialog.h"

#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "session/SessionRules.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace brivox {

namespace {

QString Milliseconds(int64_t us) {
    return QString::number(static_cast<double>(us) / 1000.0, 'f', 3) + QStringLiteral(" ms");
}

void SetCell(QTableWidget& table, int row, int column, const QString& text) {
    if (QTableWidgetItem* item = table.item(row, column)) {
        if (item->text() != text)
            item->setText(text);
        return;
    }
    table.setItem(row, column, new QTableWidgetItem(text));
}

} // namespace

CRulesDialog::CRulesDialog(QWidget* parent, CSessionRules& rules)
    : QDialog(parent), m_rules(rules), m_path(new QLabel), m_load(new QPushButton(kLoad)),
      m_answer(new QCheckBox(kAnswer)), m_table(new QTableWidget(0, 4)) {
    setWindowTitle(QString::fromLatin1(kTitle));
    m_table->setHorizontalHeaderLabels({"Rule", "Hits", "Answers", "Longest answer"});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    auto* top = new QHBoxLayout;
    top->addWidget(m_path, 1);
    top->addWidget(m_load);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_answer);
    layout->addWidget(m_table);
    connect(m_load, &QPushButton::clicked, this, [this] { Load(); });
    connect(m_answer, &QCheckBox::toggled, this, [this](bool on) { m_rules.SetEnabled(on); });
    m_rules.SetOnHit([this] { Refresh(); });
    Refresh();
}

CRulesDialog::~CRulesDialog() {
    m_rules.SetOnHit(nullptr);
}

void CRulesDialog::Load() {
    const std::string path =
        ChooseFileToOpen("Load Rules", "Rules files (*.rules);;All files (*)", this);
    if (path.empty())
        return;
    if (const std::string error = m_rules.Load(path); !error.empty())
        ShowMessage(error, "", kMbOk | kMbIconError, this);
    Refresh();
}

void CRulesDialog::Refresh() {
    const CResponder* responder = m_rules.Responder();
    m_path->setText(responder ? QString::fromStdString(m_rules.Path())
                              : QString::fromLatin1(kNoRules));
    m_answer->setEnabled(responder != nullptr);
    {
        const QSignalBlocker quiet(m_answer);
        m_answer->setChecked(m_rules.Enabled());
    }
    const int rows = responder ? static_cast<int>(responder->Rules().size()) : 0;
    m_table->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const CResponderStats& stats = responder->Stats()[static_cast<size_t>(row)];
        SetCell(*m_table, row, 0, QString::fromStdString(responder->Rules()[row].name));
        SetCell(*m_table, row, 1, QString::number(stats.hits));
        SetCell(*m_table, row, 2, QString::number(stats.answers));
        SetCell(*m_table, row, 3, stats.answers > 0 ? Milliseconds(stats.longestUs) : "");
    }
}

} // namespace brivox
