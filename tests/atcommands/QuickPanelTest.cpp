// The quick command panel and the "Start", "Reset", "Stop" buttons.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "serial/LineControl.h"
#include "atcommands/AtCommands.h"
#include "atcommands/AtTestSupport.h"
#include "atcommands/QwickCommnds.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/PageControl.h"
#include "serial/FakePortFixture.h"

namespace {

QByteArray Taken(vexa::FakeLine &line)
{
    std::lock_guard<std::mutex> lock(line.mutex);
    const std::vector<std::uint8_t> bytes = std::exchange(line.written, {});
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

}  // namespace

TEST_F(FakePortTest, EveryPanelRowSendsItsOwnBytesEchoedInBlue)
{
    // Row by row, top to bottom: what the port gets, CR included.
    const QByteArray sent[kQuickRows] = {"at@zrmdeb     \r",
                                         "at+cfun=1      \r",
                                         "at+wopen=0   \r",
                                         "at+wopen=1   \r",
                                         "at+wopen=3   \r",
                                         "at+wopen=4   \r",
                                         "at+wdwl        \r",
                                         "at+wind=0     \r",
                                         "at+wfm=1,61  \r",
                                         "at+ifc=2,2      \r",
                                         "at+ifc=0,0      \r",
                                         "at&d0\r",
                                         "at&d1\r",
                                         "at&w\r",
                                         "at+whcnf=0,0 \r",
                                         "at+whcnf=3,0 \r",
                                         "at+wgprs=9,1 \r",
                                         "at+wcps=0,1  \r",
                                         "at@zrmstart    \r",
                                         "at+cbst=71,0,1\r",
                                         "at+stsf=2,\"3B6BFFFF1F0100573E\"\r",
                                         "at@zrmstop    \r"};
    const int sizes[kQuickRows] = {15, 16, 14, 14, 14, 14, 16, 15, 14, 17, 17, 6, 6, 5, 14, 14, 14, 14, 16, 15, 31, 15};
    app->Pick_Port(kModem);
    Taken(*modem);
    TForm8 &panel = *form().Form8;
    QTest::mouseClick(form().Commands->SpeedButton24, Qt::LeftButton);
    ASSERT_TRUE(panel.isVisible());
    for (int row = 0; row < kQuickRows; ++row) {
        form().Clear_Screen();
        QTest::mouseClick(panel.Button[row], Qt::LeftButton);
        const QByteArray bytes = Taken(*modem);
        EXPECT_EQ(bytes, sent[row]) << row + 1;
        EXPECT_EQ(bytes.size(), sizes[row]) << row + 1;
        EXPECT_TRUE(Cell_Has(form(), 0, 0, kBlue)) << row + 1;
        EXPECT_EQ(form().Cursor_Y, kLineHeight) << row + 1;  // the CR ended the echo's line
    }
    // The label keeps its shortcut marker; the table, not the label, is sent.
    EXPECT_EQ(panel.Button[11]->text(), QString("at&d0              "));
    EXPECT_EQ(panel.Button[11]->objectName(), QString("SpeedButton11"));
    EXPECT_EQ(panel.Button[20]->width(), 227);
    EXPECT_EQ(panel.Description[20]->width(), 97);
    EXPECT_EQ(panel.Description[6]->text(), QString::fromUtf8("Начать прошивку "));
    EXPECT_TRUE(panel.Description[1]->isReadOnly());
    EXPECT_FALSE(panel.Description[0]->isReadOnly());
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}

TEST(QuickPanel, WithoutAPortEachClickEchoesThenSaysTheWriteFailed)
{
    Application app;
    TForm1 &f = *app.form;
    f.Commands->SpeedButton24->click();
    f.Form8->Button[2]->click();
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Oшибка записи в порт")}));
    EXPECT_EQ(f.Form4->Line(0), QString("97  a"));
    EXPECT_TRUE(Cell_Has(f, 0, 0, kBlue));
}

TEST(QuickPanel, ADoubleClickOrAnotherPageHidesItAndItStaysHidden)
{
    Application app;
    TForm1 &f = *app.form;
    f.Commands->SpeedButton24->click();
    ASSERT_TRUE(f.Form8->isVisible());
    QTest::mouseDClick(f.Form8, Qt::LeftButton, {}, QPoint(f.Form8->width() - 3, f.Form8->height() - 3));
    EXPECT_FALSE(f.Form8->isVisible());
    f.Commands->SpeedButton24->click();
    EXPECT_TRUE(f.Form8->isVisible());
    f.PageControl1->setCurrentIndex(3);
    EXPECT_FALSE(f.Form8->isVisible());
    f.PageControl1->setCurrentIndex(0);
    EXPECT_FALSE(f.Form8->isVisible());
}

TEST_F(FakePortTest, StartResetAndStopSpeakOnlyWhileTheModemHoldsCts)
{
    app->Pick_Port(kModem);
    Taken(*modem);
    modem->modemStatus = 0;
    form().Timer1Timer();
    ASSERT_FALSE(form().Serial->Line->CTS_On);
    const int viewed = form().Form4->Line_Count();
    for (QPushButton *button : {form().SpeedButton_Start, form().SpeedButton_Reset, form().SpeedButton_Stop})
        QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(Taken(*modem).isEmpty());
    EXPECT_EQ(form().Form4->Line_Count(), viewed);
    EXPECT_EQ(form().Cursor_X, 0);

    modem->modemStatus = vexa::kMsCtsOn;
    form().Timer1Timer();
    ASSERT_TRUE(form().Serial->Line->CTS_On);
    QTest::mouseClick(form().SpeedButton_Start, Qt::LeftButton);
    EXPECT_EQ(Taken(*modem), QByteArray("AT@ZRMSTART\r"));
    EXPECT_EQ(form().Cursor_X, 11 * kCellWidth);  // no line break: the answer follows on this line
    EXPECT_EQ(form().Cursor_Y, 0);
    EXPECT_TRUE(Cell_Has(form(), 10, 0, kBlue));
    QTest::mouseClick(form().SpeedButton_Reset, Qt::LeftButton);
    EXPECT_EQ(Taken(*modem), QByteArray("AT+CFUN=1\r"));
    QTest::mouseClick(form().SpeedButton_Stop, Qt::LeftButton);
    EXPECT_EQ(Taken(*modem), QByteArray("AT@ZRMSTOP\r"));
    EXPECT_EQ(form().Cursor_X, 30 * kCellWidth);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
}
