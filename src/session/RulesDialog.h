#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace brivox {

class CSessionRules;

// "Rules...": loads a rules file for the session, turns its rules on and off, and shows what
// each rule did (hits, answers, the longest answer time) as it happens.
class CRulesDialog : public QDialog {
public:
    static constexpr char kTitle[] = "Rules";
    static constexpr char kLoad[] = "Load...";
    static constexpr char kAnswer[] = "Answer with these rules";
    static constexpr char kNoRules[] = "No rules loaded";

    CRulesDialog(QWidget* parent, CSessionRules& rules);
    ~CRulesDialog() override;

    QPushButton& LoadButton() const { return *m_load; }
    QCheckBox& AnswerBox() const { return *m_answer; }
    QTableWidget& Table() const { return *m_table; }
    QLabel& PathLabel() const { return *m_path; }

    // Asks for a file and loads it; an error is shown.
    void Load();
    void Refresh();

private:
    CSessionRules& m_rules;
    QLabel* m_path;
    QPushButton* m_load;
    QCheckBox* m_answer;
    QTableWidget* m_table;
};

} // namespace brivox
