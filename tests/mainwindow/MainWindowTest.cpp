#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include "atcommands/AtCommands.h"
#include "atcommands/QwickCommnds.h"
#include "mainwindow/ApplicationSetup.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/FileDialogs.h"
#include "support/TestSupport.h"
#include "testtraffic/TestTraffic.h"

TEST(MainWindow, StartsWithItsWindowsCaptionAndControls)
{
    Application app;
    TForm1 &f = *app.form;
    EXPECT_TRUE(f.windowTitle().startsWith("Vexa    "));
    EXPECT_TRUE(f.windowTitle().endsWith(QString::fromUtf8("   Версия 4.01")));
    EXPECT_EQ(f.ComboBox1->currentText(), QString::fromUtf8("Выбирете порт"));
    EXPECT_FALSE(f.SpeedButton26->isEnabled());
    EXPECT_TRUE(f.SpeedButton26->text().isEmpty());
    for (QWidget *w : std::initializer_list<QWidget *>{f.ComboBox2, f.ComboBox3, f.ComboBox4, f.ComboBox5, f.CheckBox1,
                                                       f.CheckBox2, f.CheckBox4, f.SpeedButton25})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(f.SpeedButton25->text(), QString::fromUtf8("Переход на 9600"));
    EXPECT_EQ(f.PageControl1->currentIndex(), 0);
    EXPECT_EQ(f.Status_Panel_Text(3), QString::fromUtf8("Процесс: ВВОД КОМАНД"));
    EXPECT_EQ(f.Status_Panel_Text(0), QString::fromUtf8("Порт:"));
    EXPECT_EQ(f.Transfer->Transfer_Buffer.size(), 32796u);
    EXPECT_TRUE(f.Timer_Cursor->isActive());
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_FALSE(f.Image3->pixmap().isNull());
    EXPECT_EQ(f.Image3->toolTip(), QString("http://vexa.example.org"));
    EXPECT_TRUE(f.WorkChar_Log.isOpen());
    EXPECT_EQ(f.Start_Directory, app.start.path());

    // The seven secondary windows exist, hidden, owned by the main window.
    const char *const names[] = {"Form2", "Form3", "Form5", "Form6", "Form7", "Form4", "Form8"};
    const char *const captions[] = {"Form2",
                                    "Form3",
                                    "Прием файла",
                                    "Передача файла",
                                    "Создание скрипта AT команд при помощи формы",
                                    "Отображение вводимой информации в ASCII rjlf[",
                                    "Панель быстрых команд"};
    for (int i = 0; i < 7; ++i) {
        auto *w = f.findChild<QWidget *>(names[i], Qt::FindDirectChildrenOnly);
        ASSERT_NE(w, nullptr) << names[i];
        EXPECT_FALSE(w->isVisible());
        EXPECT_EQ(w->windowTitle(), QString::fromUtf8(captions[i]));
    }
    EXPECT_EQ(f.Form4->size(), QSize(115, 461));
    EXPECT_EQ(f.Form8->size(), QSize(351, 540));
}

TEST(MainWindow, MenusCarryTheirDesignerNamesInOrder)
{
    Application app;
    const char *const items[] = {"N2", "N3", "COM1", "N5", "N6", "AT1", "N7", "N9", "N8", "AltX1", "ASCII1", "AltX2"};
    for (const char *name : items)
        EXPECT_NE(app.form->findChild<QAction *>(name), nullptr) << name;
    auto *help = app.form->findChild<QMenu *>("N4");
    ASSERT_NE(help, nullptr);
    QStringList order;
    for (QAction *a : help->actions())
        order << a->objectName();
    EXPECT_EQ(order, QStringList({"COM1", "N5", "N6", "AT1", "N7", "N9", "N8"}));
    EXPECT_EQ(app.form->findChild<QAction *>("N2")->text(), QString::fromUtf8("Назначение "));
    EXPECT_EQ(app.form->findChild<QAction *>("AltX1")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));

    app.form->findChild<QAction *>("ASCII1")->trigger();
    EXPECT_TRUE(app.form->Form4->isVisible());
}

TEST(MainWindow, PageSwitchWithoutAPortSetsModesAndPurgesExceptOnTheTestPage)
{
    Application app;
    TForm1 &f = *app.form;
    f.Form8->show();
    f.Traffic->Edit13->setText("55");
    f.Traffic->Edit14->setText("77");
    f.Traffic->SendString_Active = f.Traffic->SendASCII_Active = true;

    f.PageControl1->setCurrentIndex(1);
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Сброшен COM порт")}));
    EXPECT_TRUE(f.Rx_File);
    EXPECT_FALSE(f.Form8->isVisible());
    EXPECT_EQ(f.Status_Panel_Text(3), QString::fromUtf8("Процесс: ПЕРЕДАЧА ФАЙЛОВ"));

    f.Print_To_Screen(QByteArray("abc"), kBlack);
    f.PageControl1->setCurrentIndex(2);
    EXPECT_EQ(app.catcher.messages().size(), 2);
    EXPECT_TRUE(f.Rx_Xmodem);
    EXPECT_FALSE(f.Rx_File);
    EXPECT_EQ(f.Cursor_X, 0);  // the programming page starts on a clear screen

    app.catcher.clear();
    f.PageControl1->setCurrentIndex(3);
    EXPECT_TRUE(app.catcher.messages().isEmpty());
    EXPECT_TRUE(f.Rx_Test);
    EXPECT_FALSE(f.Rx_Xmodem);
    EXPECT_EQ(f.Traffic->Edit13->text(), QString("0"));
    EXPECT_EQ(f.Traffic->Edit14->text(), QString("0"));
    EXPECT_FALSE(f.Traffic->SendString_Active);
    EXPECT_FALSE(f.Traffic->SendASCII_Active);
    EXPECT_EQ(f.Status_Panel_Text(3), QString::fromUtf8("Процесс: ТЕСТ"));

    f.Rx_Script = true;
    f.PageControl1->setCurrentIndex(0);
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Сброшен COM порт")}));
    EXPECT_FALSE(f.Rx_Script || f.Rx_File || f.Rx_Xmodem || f.Rx_Test);
}

TEST(MainWindow, TypingWithoutAPortFailsPerKeyAndStillCounts)
{
    Application app;
    TForm1 &f = *app.form;
    f.show();
    ASSERT_TRUE(Wait_Until([&] { return f.isVisible(); }));
    f.Clear_Focus();
    QTest::keyClicks(&f, "AT");
    QTest::keyClick(&f, Qt::Key_Return);
    // Keys typed before the box opened do not stack boxes; once read, the next key has its own.
    EXPECT_EQ(app.catcher.messages(), QStringList(1, QString::fromUtf8("Oшибка записи в порт")));
    QTest::keyClick(&f, Qt::Key_Space);
    EXPECT_EQ(app.catcher.messages(), QStringList(2, QString::fromUtf8("Oшибка записи в порт")));
    EXPECT_EQ(f.Traffic->Edit14->text(), QString("4"));
    EXPECT_EQ(f.Form4->Line_Count(), 0);  // typed keys are not printed

    f.Traffic->Edit14->setText("lots");
    app.catcher.clear();
    const std::uint8_t byte = 'A';
    EXPECT_FALSE(f.Write_To_Port(&byte, 1));
    ASSERT_EQ(app.catcher.messages().size(), 1);
    EXPECT_TRUE(app.catcher.messages()[0].startsWith(QString::fromUtf8("Ошибка при записи в СОM порт ")));
    EXPECT_EQ(f.Traffic->Edit14->text(), QString("lots"));
}

TEST(MainWindow, ReceivedChunksGoWhereThePageSends)
{
    Application app;
    TForm1 &f = *app.form;
    f.Take_Received("OK\r\n");
    EXPECT_EQ(f.Form4->Line_Count(), 4);
    EXPECT_EQ(f.Rx_Count, 0u);

    f.Rx_File = true;  // file-transfer page: nothing on the screen
    f.Take_Received("frame");
    f.Rx_File = false;
    f.Rx_Xmodem = true;
    f.Take_Received("\r\nOK\r\nC");
    EXPECT_EQ(f.Form4->Line_Count(), 4);

    f.Rx_Test = true;  // the later flag wins
    f.Traffic->Edit13->setText("0");
    f.Take_Received(QByteArray(100, 'q'));
    EXPECT_EQ(f.Traffic->Edit13->text(), QString("100"));
    EXPECT_EQ(f.Form4->Line_Count(), 104);
    f.Traffic->Edit13->setText("x");
    f.Take_Received("zz");  // a counter that is not a number: neither counted nor shown
    EXPECT_EQ(f.Form4->Line_Count(), 104);

    f.Rx_Test = f.Rx_Xmodem = false;
    f.Rx_Script = true;
    f.Commands->Script_Log.setFileName(app.start.file("Logs/ScriptLog.atl"));
    ASSERT_TRUE(f.Commands->Script_Log.open(QIODevice::WriteOnly));
    f.Take_Received("OK\r");
    f.Commands->Script_Log.close();
    QFile log(app.start.file("Logs/ScriptLog.atl"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), QByteArray("OK\r"));
    EXPECT_EQ(f.Form4->Line_Count(), 107);
}

TEST(MainWindow, AltXEndsTheProgramAtOnceAndTheCloseButtonSlidesOut)
{
    {
        Application app;
        app.form->show();
        QTimer::singleShot(50, app.form.get(), [&] { app.form->findChild<QAction *>("AltX1")->trigger(); });
        QTimer::singleShot(5000, qApp, &QApplication::quit);
        QElapsedTimer clock;
        clock.start();
        QApplication::exec();
        EXPECT_LT(clock.elapsed(), 4000);
        EXPECT_TRUE(app.form->isVisible());  // no slide-out ran
    }
    {
        Application app;
        app.form->show();
        QTimer::singleShot(50, app.form.get(), [&] { app.form->close(); });
        QTimer::singleShot(5000, qApp, &QApplication::quit);
        QElapsedTimer clock;
        clock.start();
        QApplication::exec();
        EXPECT_GE(clock.elapsed(), 350);
        EXPECT_LT(clock.elapsed(), 4000);
        EXPECT_FALSE(app.form->isVisible());
    }
}

// The dialogs Qt draws speak Russian: a file dialog opened through the
// program's seam, and the buttons of a question box.
TEST(MainWindow, QtsOwnDialogsSpeakRussian)
{
    ASSERT_TRUE(Set_Up_Application(*qApp));
    EXPECT_EQ(QGuiApplication::desktopFileName(), QString("vexa"));
    QStringList seen;
    auto *poll = new QTimer(qApp);  // reads the dialog once it is up, then closes it
    QObject::connect(poll, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog)
            return;
        poll->deleteLater();
        seen << dialog->findChild<QLabel *>("lookInLabel")->text();
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            if (b->isVisible())
                seen << b->text();
        dialog->close();
    });
    poll->start(10);
    vexa::Choose_File(nullptr, {vexa::FileDialogKind::Open, "OpenDialog1", QDir::tempPath(), "Все|*.*", {}});
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    seen << box.button(QMessageBox::Yes)->text() << box.button(QMessageBox::No)->text();
    delete qApp->findChild<QTranslator *>();
    EXPECT_EQ(seen, QStringList({"Перейти к:", "&Открыть", "Отмена", "&Да", "&Нет"}));
}
