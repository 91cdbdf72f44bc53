// The session form against brivox-devsim on a pseudo-terminal it registers as COM53: what the
// form sends in each mode and what the device answers, as the lists show it.
#include "session/SessionFormFixture.h"
#include "support/DevsimProcess.h"
#include "support/PortTestSupport.h"

#include <QTest>
#include <QTextEdit>

namespace brivox {
namespace {

using namespace idc;
using Bytes = std::vector<uint8_t>;

class SessionDevsimTest : public test::CSessionFormFixture {
protected:
    void Start(std::vector<std::string> device) {
        device.insert(device.end(), {"--register", "53"});
        m_devsim = std::make_unique<test::CDevsimProcess>(device);
        ChoosePort(53);
        Button(kOpenClose)->click();
        ASSERT_TRUE(Form().IsPortOpen());
    }
    void SendText(int mode, const QString& text) {
        Choose(kMode, mode);
        qobject_cast<QTextEdit*>(Form().Control(kInput))->setPlainText(text);
        Button(kSend)->click();
    }
    // The bytes of a list in order, and the cell texts of a row, once count bytes are there.
    static Bytes ListBytes(CByteListModel& list, size_t count) {
        test::RunEventsUntil([&] { return list.CellCount() >= static_cast<int>(count); }, 5000);
        list.Flush();
        Bytes bytes;
        for (int row = 0; row < list.rowCount(); ++row)
            for (int cell = 0; cell < CByteRow::kCells; ++cell)
                if (list.RowAt(row)->HasCell(cell))
                    bytes.push_back(list.RowAt(row)->Value(cell));
        return bytes;
    }
    static QStringList RowTexts(CByteListModel& list, int row) {
        QStringList texts;
        for (int column = 0; column <= CByteRow::kCells; ++column)
            texts << list.data(list.index(row, column)).toString();
        return texts;
    }

    std::unique_ptr<test::CDevsimProcess> m_devsim;
};

TEST_F(SessionDevsimTest, EveryTextModeIsEchoed) {
    Start({"--echo"});
    const struct {
        int mode;
        const char* text;
    } cases[] = {{1, "41 \"B\" 67;"}, {2, "ABC"}, {3, "65 66 67"}};
    for (const auto& c : cases) {
        SendText(c.mode, c.text);
        EXPECT_EQ(ListBytes(Form().RxList().Model(), 3), (Bytes{'A', 'B', 'C'})) << c.text;
    }
    Choose(kMode, 0);
    Form().RxList().Clear();
    QTest::keyClicks(Form().Control(kInput), "ABC");
    EXPECT_EQ(ListBytes(Form().RxList().Model(), 3), (Bytes{'A', 'B', 'C'})) << "typed";
    EXPECT_EQ(ListBytes(Form().TxRxList().Model(), 3), (Bytes{'A', 'B', 'C'}));
}

TEST_F(SessionDevsimTest, ADetailScriptMatchesOrNotTheDevicesReply) {
    Start({"--reply", "05=06 00 10"});
    SendText(1, "05 <06 00 10>");
    EXPECT_EQ(ListBytes(Form().TxRxList().Model(), 4), (Bytes{5, 6, 0, 16}));
    EXPECT_EQ(RowTexts(Form().TxRxList().Model(), 1).mid(0, 5),
              (QStringList{"RX", "", "6", "0", "16"}));
    SendText(1, "05 <06 01 10> 07");
    EXPECT_EQ(ListBytes(Form().TxRxList().Model(), 4), (Bytes{5, 6, 0, 16})) << "07 never sent";
    EXPECT_EQ(RowTexts(Form().TxRxList().Model(), 1).mid(0, 5),
              (QStringList{"RX", "", "6", "0_", "16"}));
}

TEST_F(SessionDevsimTest, ModbusRequestsAreAnsweredIntoTheRxList) {
    for (const bool ascii : {false, true}) {
        m_host.reset();
        m_devsim.reset();
        Start({"--modbus", ascii ? "ascii" : "rtu", "--slave", "3"});
        Choose(kMode, ascii ? 4 : 5);
        Choose(kFunction, 2); // Word Read [03]
        Edit(kSlaveAddress)->setText("3");
        Edit(kStartAddress)->setText("000A");
        Edit(kLength)->setText("2");
        Button(kSend)->click();
        const Bytes reply = ListBytes(Form().RxList().Model(), ascii ? 19 : 9);
        if (ascii) { // ":" 03 03 04 000A 000B LRC CR LF
            EXPECT_EQ(std::string(reply.begin(), reply.end()), ":030304000A000BE1\r\n");
        } else {
            ASSERT_EQ(reply.size(), 9u);
            EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 7), (Bytes{3, 3, 4, 0, 10, 0, 11}));
        }
    }
}

} // namespace
} // namespace brivox
