// The main window as a user drives it with the mouse and the keyboard: which
// control has the keyboard after each action, how often a settings box
// applies, picking a port again, and a device that vanishes and comes back.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVariantAnimation>

#include "mainwindow/PageControl.h"
#include "mainwindow/ScreenPicture.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "platform/Cp1251.h"
#include "platform/SysfsPorts.h"
#include "serial/FakePortFixture.h"
#include "support/TestSupport.h"

namespace {

void Activate(TForm1 &f)
{
    f.show();
    QApplication::setActiveWindow(&f);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
}

// Keys go where the keyboard is, as they do for a user.
void Type(TForm1 &f, const QString &text)
{
    for (QChar c : text) {
        QWidget *to = QApplication::focusWidget() ? QApplication::focusWidget() : &f;
        if (c == '\r')
            QTest::keyClick(to, Qt::Key_Return);
        else
            QTest::keyClicks(to, QString(c));
    }
}

// Opens the box's list and clicks the item, as a user picks it.
void Pick_From_List(QComboBox *box, const QString &item)
{
    box->showPopup();
    QAbstractItemView *view = box->view();
    ASSERT_TRUE(Wait_Until([&] { return view->isVisible(); }));
    const int row = box->findText(item);
    ASSERT_GE(row, 0) << item.toStdString();
    const QModelIndex index = view->model()->index(row, 0);
    view->scrollTo(index);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    Wait_Until([&] { return !view->isVisible(); }, 1000);
}

void Click_Box(QCheckBox *box)
{
    // The caption stands left of the square; a click on the square toggles.
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(box->width() - 8, box->height() / 2));
}

}  // namespace

TEST_F(FakePortTest, AfterTheBreakBoxTypedKeysGoToTheModemAndLeaveBreakAlone)
{
    Activate(form());
    app->Pick_Port(kModem);
    Click_Box(form().CheckBox4);
    ASSERT_TRUE(form().CheckBox4->isChecked());
    EXPECT_TRUE(modem->breakOn);
    Click_Box(form().CheckBox4);
    ASSERT_FALSE(form().CheckBox4->isChecked());
    EXPECT_FALSE(modem->breakOn);

    modem->Written();
    Type(form(), "AT \r");
    EXPECT_EQ(modem->Written(), std::vector<std::uint8_t>({'A', 'T', ' ', '\r'}));
    EXPECT_FALSE(form().CheckBox4->isChecked());
    EXPECT_FALSE(modem->breakOn);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();

    // No button or box of the window takes the keyboard when it is clicked.
    for (QAbstractButton *button : form().centralWidget()->findChildren<QAbstractButton *>())
        EXPECT_FALSE(button->focusPolicy() & Qt::ClickFocus) << button->objectName().toStdString();
}

TEST_F(FakePortTest, ASettingsBoxAppliesEachUserChangeOnce)
{
    Activate(form());
    app->Pick_Port(kModem);
    const int before = modem->setStates;

    Pick_From_List(form().ComboBox2, "9600");
    EXPECT_EQ(modem->settings.BaudRate, 9600u);
    EXPECT_EQ(modem->setStates, before + 1);
    EXPECT_TRUE(form().Status_Panel_Text(1).startsWith("9600 "));
    EXPECT_EQ(QApplication::focusWidget(), &form());

    // Typed text applies on Enter, once, and leaving the box adds nothing.
    QTest::mouseClick(form().ComboBox2->lineEdit(), Qt::LeftButton);
    ASSERT_TRUE(form().ComboBox2->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == form().ComboBox2);
    form().ComboBox2->lineEdit()->selectAll();
    Type(form(), "57600\r");
    EXPECT_EQ(modem->settings.BaudRate, 57600u);
    EXPECT_EQ(modem->setStates, before + 2);
    QTest::mouseClick(form().Image1, Qt::LeftButton);
    EXPECT_EQ(modem->setStates, before + 2);

    // Clicking into a box and out again without typing applies nothing.
    QTest::mouseClick(form().ComboBox3->lineEdit(), Qt::LeftButton);
    QTest::mouseClick(form().Image1, Qt::LeftButton);
    EXPECT_EQ(modem->setStates, before + 2);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();

    // With the port released, the same visit shows nothing either; a real
    // change still reports that there is no port to change.
    form().SpeedButton26->click();
    QTest::mouseClick(form().ComboBox3->lineEdit(), Qt::LeftButton);
    QTest::mouseClick(form().Image1, Qt::LeftButton);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    Pick_From_List(form().ComboBox4, "Odd");
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Ошибка чтения настроек "),
                                       QString::fromUtf8("Ошибка чтеня параметров порта")}));
}

TEST_F(FakePortTest, ThePickerListsPortsWithoutOpeningThemAndAPickOpensAgain)
{
    Activate(form());
    int created = 0;
    vexa::Set_Serial_Port_Factory([&, inner = hub.Factory()] { return ++created, inner(); });
    modem->held = true;  // another program has it
    app->Pick_Port(kModem);
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Ошибка открытия порта ")}));
    EXPECT_FALSE(form().Serial->PortHeld);
    created = 0;
    form().ComboBox1->showPopup();
    EXPECT_EQ(created, 0);
    const int row = form().ComboBox1->findText(kModem);
    ASSERT_GE(row, 0);
    EXPECT_TRUE(form().ComboBox1->itemData(row, Qt::ToolTipRole).toString().contains("A0"));
    form().ComboBox1->hidePopup();

    modem->held = false;
    app->catcher.clear();
    Pick_From_List(form().ComboBox1, kModem);
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();
    EXPECT_TRUE(form().Serial->PortHeld);
    EXPECT_TRUE(form().SpeedButton26->isEnabled());
    EXPECT_EQ(form().SpeedButton26->text(), QString::fromUtf8("Освободить порт"));

    // The open port stays listed, and picking it again reopens it, once.
    const int purged = modem->purges;  // one a preparation
    Pick_From_List(form().ComboBox1, kModem);
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_TRUE(form().Serial->PortHeld);
    EXPECT_EQ(modem->purges, purged + 1);
}

// A click into the prompt and a paste open the pasted name. A name typed key
// by key opens on Enter only: the keyboard leaving for the main menu, the
// list, another window or another control chooses nothing, and the working
// port stays open under the typing.
TEST_F(FakePortTest, APasteIntoThePromptOpensAndATypedNameOnlyOnEnter)
{
    Activate(form());
    QLineEdit *picker = form().ComboBox1->lineEdit();
    QApplication::clipboard()->setText(kModem);
    QTest::mouseClick(picker, Qt::LeftButton);
    QTest::keyClick(picker, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(modem->held);
    EXPECT_EQ(modem->purges, 1);  // opened once
    EXPECT_TRUE(messages().isEmpty()) << messages().join('|').toStdString();

    auto type = [&](const QString &text) {
        QTest::mouseClick(picker, Qt::LeftButton);
        picker->selectAll();
        Type(form(), text);
    };
    QWidget elsewhere;
    QMenuBar *menu = form().menuBar();
    const QPoint firstMenu = menu->actionGeometry(menu->actions()[0]).center();
    const struct {
        const char *what;
        std::function<void()> leave;
        QString after;  // a half name waits for the user's return
    } leaves[] = {
        {"main menu",
         [&] { QTest::mouseClick(menu, Qt::LeftButton, {}, firstMenu), Pump(50), menu->actions()[0]->menu()->close(); },
         "/dev/ttyUS"},
        {"list", [&] { form().ComboBox1->showPopup(), form().ComboBox1->hidePopup(); }, "/dev/ttyUS"},
        {"another window",
         [&] {
             elsewhere.show(), QApplication::setActiveWindow(&elsewhere);
             ASSERT_TRUE(QTest::qWaitForWindowActive(&elsewhere));
             Activate(form());
         },
         "/dev/ttyUS"},
        {"another control", [&] { QTest::mouseClick(form().Image1, Qt::LeftButton); }, kModem},
    };
    for (const auto &l : leaves) {
        type("/dev/ttyUS");
        l.leave();
        Pump(50);
        EXPECT_TRUE(messages().isEmpty()) << l.what << messages().join('|').toStdString();
        EXPECT_TRUE(modem->held) << l.what;
        EXPECT_EQ(form().ComboBox1->currentText(), l.after) << l.what;
    }

    type(kOther + '\r');
    EXPECT_TRUE(other->held);
    EXPECT_FALSE(modem->held);
    EXPECT_EQ(QApplication::focusWidget(), &form());
    type("/dev/ttyUSB9\r");
    EXPECT_EQ(messages(), QStringList({QString::fromUtf8("Ошибка открытия порта ")}));
    EXPECT_TRUE(other->held);
}

TEST(PtyTerminal, AVanishedDeviceIsReleasedAndTakenAgainWhenItComesBack)
{
    Application app;
    TForm1 &f = *app.form;
    Activate(f);
    const QString link = app.start.file("ttyModem");
    auto plug = [&](const Pty &pty) {
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(pty.slavePath(), link));
    };
    auto first = std::make_unique<Pty>();
    plug(*first);
    app.Pick_Port(link);
    ASSERT_TRUE(f.Serial->PortHeld);

    first.reset();  // unplugged
    ASSERT_TRUE(Wait_Until([&] { return !app.catcher.messages().isEmpty(); }));
    Pump(300);
    EXPECT_EQ(app.catcher.messages(), QStringList({QString::fromUtf8("Ошибка ожидания события ")}));
    EXPECT_FALSE(f.Serial->PortHeld);
    EXPECT_FALSE(f.Serial->PortHandle);
    EXPECT_FALSE(f.Serial->ReaderRunning);
    EXPECT_FALSE(f.Timer1->isActive());
    EXPECT_EQ(f.SpeedButton26->text(), QString::fromUtf8("Занять порт"));
    EXPECT_TRUE(f.SpeedButton26->isEnabled());
    EXPECT_EQ(f.Edit4->palette().color(QPalette::Base), QColor(0, 0, 0));

    Pty second;  // plugged back in under the same name
    plug(second);
    app.catcher.clear();
    QTest::mouseClick(f.SpeedButton26, Qt::LeftButton);
    EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
    ASSERT_TRUE(f.Serial->PortHeld);
    Type(f, "AT\r");
    EXPECT_EQ(second.read(3), QByteArray("AT\r"));
    second.write("OK");
    EXPECT_TRUE(Wait_Until([&] { return app.Work_Char_Log().endsWith("OK"); }));
}

TEST(MainWindow, SlidesInOnlyWhenFirstShown)
{
    Application app;
    TForm1 &f = *app.form;
    auto sliding = [&] {
        for (QVariantAnimation *a : f.findChildren<QVariantAnimation *>())
            if (a->state() == QAbstractAnimation::Running)
                return true;
        return false;
    };
    f.show();
    EXPECT_TRUE(sliding());
    ASSERT_TRUE(Wait_Until([&] { return !sliding(); }));
    f.hide();
    f.show();
    EXPECT_FALSE(sliding());
}

TEST(MainWindow, EveryPageControlFitsItsPage)
{
    Application app;
    TForm1 &f = *app.form;
    f.show();
    for (int i = 0; i < f.PageControl1->count(); ++i) {
        f.PageControl1->setCurrentIndex(i);
        QApplication::processEvents();
        auto *page = f.PageControl1->findChild<QWidget *>(QStringLiteral("TabSheet%1").arg(i + 1));
        ASSERT_NE(page, nullptr);
        // The page itself lies inside the window's client area.
        const QRect inClient(page->mapTo(f.centralWidget(), QPoint(0, 0)), page->size());
        EXPECT_TRUE(f.centralWidget()->rect().contains(inClient)) << i;
        // Each control, and each control inside a group, lies inside what
        // holds it; what a scroll box holds may be larger than the box.
        for (QWidget *w : page->findChildren<QWidget *>()) {
            QWidget *holder = w->parentWidget();
            if (w->isWindow() || !w->isVisibleTo(page) || qobject_cast<QAbstractScrollArea *>(holder->parentWidget()))
                continue;
            EXPECT_TRUE(holder->rect().contains(w->geometry()))
                << "page " << i << ": " << w->metaObject()->className() << " " << w->objectName().toStdString()
                << " at " << w->geometry().x() << "," << w->geometry().y() << " " << w->width() << "x" << w->height()
                << " in " << holder->width() << "x" << holder->height();
        }
    }
}

TEST(PtyTerminal, APortPluggedInAfterStartIsListedWhenThePickerOpens)
{
    DeviceTree tree;
    vexa::Set_Device_Roots(tree.Roots());
    {
        Application app;
        QComboBox *picker = app.form->ComboBox1;
        EXPECT_EQ(picker->count(), 0);
        Pty pty;
        tree.Plug("ttyUSB63", {"Z9"}, "", pty.slavePath().toStdString());
        Pick_From_List(picker, tree.Node("ttyUSB63"));
        EXPECT_TRUE(app.form->Serial->PortHeld);
        app.form->Send_AT_Command("AT");
        EXPECT_EQ(pty.read(3), QByteArray("AT\r"));
    }
    vexa::Set_Device_Roots({});
}

// With CheckBox7 ticked a restarting modem is taken again when it returns,
// under its by-id name whatever ttyUSB number it gets, with a line on the
// screen each time and no box; a port the user released stays released.
TEST(PtyTerminal, ARestartingModemIsTakenAgainWhenTheBoxIsTicked)
{
    DeviceTree tree;
    vexa::Set_Device_Roots(tree.Roots());
    {
        Application app;
        TForm1 &f = *app.form;
        const std::string link = "usb-SIMCOM_SIM7600_S1-if02-port0";
        auto pty = std::make_unique<Pty>();
        auto plug = [&](int n) {
            tree.Plug("ttyUSB" + std::to_string(n), {"S1", "02"}, link, pty->slavePath().toStdString());
        };
        plug(0);
        Click_Box(f.CheckBox7);
        app.Pick_Port(tree.Node("serial/by-id/" + link));
        for (int n = 1; n <= 3; ++n) {
            tree.Unplug("ttyUSB" + std::to_string(n - 1));
            pty = std::make_unique<Pty>();  // the old one closes: the device is gone
            ASSERT_TRUE(Wait_Until([&] { return !f.Serial->PortHeld; })) << n;
            plug(n);
            ASSERT_TRUE(Wait_Until([&] { return f.Serial->PortHeld; })) << n;
            f.Send_AT_Command("AT");
            EXPECT_EQ(pty->read(3), QByteArray("AT\r")) << n;
        }
        EXPECT_TRUE(app.catcher.messages().isEmpty()) << app.catcher.messages().join('|').toStdString();
        EXPECT_EQ(app.Work_Char_Log().count(Cp("ПОРТ ЗАНЯТ СНОВА")), 3);

        f.SpeedButton26->click();
        tree.Unplug("ttyUSB3");
        plug(4);
        Pump(300);
        EXPECT_FALSE(f.Serial->PortHeld);
    }
    vexa::Set_Device_Roots({});
}
