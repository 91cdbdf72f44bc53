#pragma once

#include "app/SessionHost.h"
#include "session/SessionForm.h"
#include "session/SessionFormIds.h"
#include "support/LocalOnly.h"
#include "support/QtApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableView>
#include <QTextEdit>
#include <gtest/gtest.h>
#include <memory>

namespace brivox::test {

// A session form in a main session host, made on first use from fresh global options, with
// what a user does to its controls.
class CSessionFormFixture : public testing::Test {
protected:
    CSessionFormFixture() { ResetGlobalOptions(); }

    CSessionForm& Form() {
        if (!m_host)
            m_host = std::make_unique<CSessionHost>(false, nullptr);
        return *m_host->Form();
    }
    QComboBox* Combo(int id) { return qobject_cast<QComboBox*>(Form().Control(id)); }
    QAbstractButton* Button(int id) { return qobject_cast<QAbstractButton*>(Form().Control(id)); }
    QLineEdit* Edit(int id) { return qobject_cast<QLineEdit*>(Form().Control(id)); }
    QTextEdit* Input() { return qobject_cast<QTextEdit*>(Form().Control(idc::kInput)); }

    // A list cell's colour as painted, just inside its top-left corner.
    static QColor CornerColour(CByteList& list, int row, int column) {
        QCoreApplication::processEvents();
        const QRect cell = list.View()->visualRect(list.Model().index(row, column));
        return list.View()->viewport()->grab().toImage().pixelColor(cell.topLeft() + QPoint(1, 1));
    }

    // The form shown and active, with the port of that COM number open.
    void ShowWithPortOpen(int number) {
        Form();
        m_host->show();
        QApplication::setActiveWindow(m_host.get());
        ChoosePort(number);
        Button(idc::kOpenClose)->click();
        EXPECT_TRUE(Form().IsPortOpen()) << Form().Port().GetLastError();
    }

    // What a user's choice in a combo does: select, then the handler runs.
    void Choose(int id, int index) {
        Combo(id)->setCurrentIndex(index);
        emit Combo(id)->activated(index);
    }
    void ChoosePort(int number) {
        QComboBox* combo = Combo(idc::kPort);
        const int index =
            combo->findText(QStringLiteral("COM%1 (").arg(number), Qt::MatchStartsWith);
        ASSERT_GE(index, 0) << "COM" << number << " is listed";
        Choose(idc::kPort, index);
    }
    bool Shown(int id) { return Form().Control(id)->isVisibleTo(&Form()); }
    bool Enabled(int id) { return Form().Control(id)->isEnabled(); }

    CQtAppFirst m_app;
    std::unique_ptr<CSessionHost> m_host;
};

} // namespace brivox::test
