// Start-up, shutdown, pages and the window events of the main window.

#include "serial/LineControl.h"
#include "mainwindow/ZRMHyperTerminal.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

#include "atcommands/AtCommands.h"
#include "atcommands/QwickCommnds.h"
#include "atcommands/ZRMComList.h"
#include "atcommands/ZRMComScript.h"
#include "atcommands/ZRMCreateATcommandScriptForm.h"
#include "mainwindow/CaptionText.h"
#include "platform/Controls.h"
#include "mainwindow/GlyphStrips.h"
#include "mainwindow/OutCHARinASCII.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/PortPicker.h"
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ScreenPicture.h"
#include "mainwindow/SlideAnimation.h"
#include "mainwindow/WindowSeams.h"
#include "platform/Messages.h"
#include "testtraffic/TestTraffic.h"
#include "transfer/QweryFile.h"
#include "transfer/SendFile.h"
#include "xmodem/FirmwareDownload.h"

TForm1::TForm1(QWidget *parent) : QMainWindow(parent), Screen_Console(std::make_unique<Window_Console>(*this))
{
    Build_Window();
    Connect_Handlers();
    FormCreate();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::Connect_Handlers()
{
    // The picker opens chosen names only: a pick from its list, even of the
    // name already shown (a retry after a failed open), a pasted name, a
    // typed one on Enter. A half-typed name must not close the port under a
    // running transfer; left behind, it gives way to the working port's.
    // Its list is read again each time it opens.
    auto *picker = static_cast<PortPicker *>(ComboBox1);
    connect(picker, &PortPicker::Chosen, this, &TForm1::ComboBox1Change);
    connect(picker, &PortPicker::Typing_Abandoned, Serial.get(), &SerialLink::Show_Working_Port_Name);
    connect(picker, &PortPicker::List_Opening, this, &TForm1::Find_Free_Ports);
    connect(Serial.get(), &Link::Received, this, &TForm1::Take_Received);
    connect(SpeedButton26, &QPushButton::clicked, this, &TForm1::SpeedButton26Click);
    // The line-setting boxes react to the user only, each change once: a pick
    // from the list at once, typed text on Enter or when the user leaves the
    // box (the handling hands the keyboard back to the port, and the rest of
    // a half-typed speed would go to the modem).
    On_User_Change(ComboBox2, this, [this] { ComboBox2Change(); });
    On_User_Change(ComboBox3, this, [this] { ComboBox3Change(); });
    On_User_Change(ComboBox4, this, [this] { ComboBox4Change(); });
    On_User_Change(ComboBox5, this, [this] { ComboBox5Change(); });
    // The check boxes react to every change of state, the program's too.
    connect(CheckBox1, &QCheckBox::toggled, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TForm1::CheckBox2Click);
    connect(CheckBox4, &QCheckBox::toggled, this, &TForm1::CheckBox4Click);
    connect(SpeedButton25, &QPushButton::clicked, this, &TForm1::SpeedButtonChangeSpped115200_9600);
    connect(SpeedButton10, &QPushButton::clicked, this, &TForm1::SpeedButton10Click);
    connect(PageControl1, &PageControl::currentChanged, this, &TForm1::PageControl1Change);
    connect(Image1, &ScreenPicture::clicked, this, &TForm1::Clear_Focus);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(Timer_Cursor, &QTimer::timeout, this, &TForm1::Timer_CursorTimer);
    connect(Timer_ChangeSpped115200_9600, &QTimer::timeout, this, &TForm1::Timer_ChangeSpped115200_9600Timer);
}

void TForm1::FormCreate()
{
    Serial->Line->Speed_Is_115200 = true;
    setWindowTitle(windowTitle() + QString::fromUtf8(kVersionText));
    Serial->Line->DCD_On = false;
    Serial->Line->CTS_On = false;
    Screen_Back_Color = [] {
        // The tooltip background, as long as black text stays readable on it
        // (a dark desktop theme may make it dark): else the classic pale yellow.
        QColor c = QToolTip::palette().color(QPalette::ToolTipBase);
        if (c.lightness() < 160)
            c = QColor(255, 255, 225);
        return ColorRef(c.red()) | ColorRef(c.green()) << 8 | ColorRef(c.blue()) << 16;
    }();
    Start_Directory = QDir::currentPath();
    Enter_Start_Directory();
    Create_Work_Char_Log();
    Rx_Script = Rx_File = Rx_Xmodem = Rx_Test = false;
    glyphs_ = std::make_unique<GlyphStrips>();
    Clear_Screen();
    Find_Free_Ports();
    Commands->Autoload_AT_List();
    Cursor_Phase = false;
    Timer_Cursor->start(kCursorBlinkMs);
    Set_Status_Panel(3, QStringLiteral("Процесс: ") + PageControl1->Caption(PageControl1->currentIndex()));
}

void TForm1::FormDestroy()
{
    WorkChar_Log.close();
    Serial->Shut_Down();
}

void TForm1::Enter_Start_Directory() const { QDir::setCurrent(Start_Directory); }

void TForm1::PageControl1Change()
{
    const int page = PageControl1->currentIndex();
    const bool leftFilePage = Rx_File && page != 1;
    Rx_Script = Rx_File = Rx_Xmodem = Rx_Test = false;
    switch (page) {
    case 0:
        Clear_Focus();
        Serial->Purge_On_Page_Switch();
        break;
    case 1:
        Commands->Hide_Quick_Panel();
        Rx_File = true;
        Reset_File_Protocol();
        Serial->Purge_On_Page_Switch();
        break;
    case 2:
        Commands->Hide_Quick_Panel();
        Clear_Screen();
        Rx_Xmodem = true;
        Serial->Purge_On_Page_Switch();
        Firmware->Clear_Fields();
        break;
    case 3:
        Commands->Hide_Quick_Panel();
        Clear_Screen();
        Rx_Test = true;
        Traffic->Enter_Page();
        break;
    }
    if (leftFilePage)
        Leave_File_Page();
    Set_Status_Panel(3, QStringLiteral("Процесс: ") + PageControl1->Caption(page));
}

// The message loop ends at once, without asking the windows to close: the
// slide-out does not run, and main() destroys the windows.
void TForm1::AltX1Click() { QApplication::exit(0); }

void TForm1::AltX2Click() { QApplication::exit(0); }

void TForm1::ASCII1Click()
{
    if (Form4)
        Form4->show();
}

void TForm1::Clear_Focus()
{
    if (QWidget *focused = QApplication::focusWidget(); focused && focused != this && isAncestorOf(focused))
        focused->clearFocus();
    if (isActiveWindow() || !QApplication::activeWindow())
        setFocus(Qt::OtherFocusReason);
}

void TForm1::Set_Status_Panel(int panel, const QString &text)
{
    QLabel *label = statusPanels_[panel];
    if (panel != 0) {
        label->setText(text);
        return;
    }
    // A port name may be long (rfc2217://host:port): the panel shows both
    // its ends without pushing the other panels, the whole text in its tip.
    label->setToolTip(text);
    label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->contentsRect().width()));
}

QString TForm1::Status_Panel_Text(int panel) const
{
    return panel == 0 ? statusPanels_[0]->toolTip() : statusPanels_[panel]->text();
}

bool TForm1::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate)
        Clear_Focus();
    // Tab is a character for the modem, not a focus move, while the window
    // itself has the keyboard.
    if (e->type() == QEvent::KeyPress && (!focusWidget() || focusWidget() == this)) {
        auto *key = static_cast<QKeyEvent *>(e);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            FormKeyPress(QStringLiteral("\t"));
            return true;
        }
    }
    return QMainWindow::event(e);
}

void TForm1::keyPressEvent(QKeyEvent *e)
{
    // Ctrl+letter is the control character (Ctrl+Z, 26, ends an SMS text),
    // whatever text the platform attached to the key.
    if ((e->modifiers() & Qt::ControlModifier) && e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z) {
        FormKeyPress(QString(QChar(e->key() - Qt::Key_A + 1)));
        return;
    }
    if (e->text().isEmpty() || (e->modifiers() & Qt::AltModifier)) {
        QMainWindow::keyPressEvent(e);
        return;
    }
    FormKeyPress(e->text());
}

void TForm1::showEvent(QShowEvent *e)
{
    QMainWindow::showEvent(e);
    // The window slides in when it first appears, not on every restore.
    if (!slidIn_) {
        slidIn_ = true;
        Slide_In(this);
    }
    repaint();
    Clear_Focus();
}

void TForm1::closeEvent(QCloseEvent *e)
{
    if (!slidOut_) {
        e->ignore();
        slidOut_ = true;
        Slide_Out(this, [this] { close(); });
        return;
    }
    QMainWindow::closeEvent(e);
    QApplication::exit(0);
}

void TForm1::mousePressEvent(QMouseEvent *e)
{
    Clear_Focus();
    QMainWindow::mousePressEvent(e);
}

void TForm1::contextMenuEvent(QContextMenuEvent *e) { PopupMenu1->popup(e->globalPos()); }

bool TForm1::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == Image3 && e->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton)
        Image3Click();
    return QMainWindow::eventFilter(watched, e);
}

TForm1 *Create_Application_Forms()
{
    auto *form1 = new TForm1;
    form1->Form2 = new TForm2(form1);
    form1->Form3 = new TForm3(form1);
    form1->Form5 = new TForm5(form1);
    form1->Form6 = new TForm6(form1);
    form1->Transfer->Attach_Dialogs(form1->Form5, form1->Form6);
    form1->Form7 = new TForm7(form1);
    form1->Form4 = new TForm4(form1);
    form1->Form8 =
        new TForm8(form1, [form1](const QByteArray &command) { form1->Commands->Send_Echoed_Line(command, kBlue); });
    form1->Commands->Attach_Dialogs(form1->Form2, form1->Form3, form1->Form7, form1->Form8);
    return form1;
}
