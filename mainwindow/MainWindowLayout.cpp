// The main window's controls, at their places, with their designer names.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

#include "mainwindow/CaptionText.h"
#include "platform/Controls.h"
#include "mainwindow/JpegLogo.h"
#include "mainwindow/PageControl.h"
#include "mainwindow/PortPicker.h"
#include "mainwindow/ScreenGeometry.h"
#include "mainwindow/ScreenPicture.h"
#include "mainwindow/ZRMHyperTerminal.h"
#include "serial/LineControl.h"
#include "mainwindow/WindowSeams.h"

namespace {

constexpr int kClientWidth = 762;
constexpr int kClientHeight = 545;

// Keys a control did not take (Enter in a settings box, say) stop here:
// only keys typed at the window itself go to the modem.
class ClientArea : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void keyPressEvent(QKeyEvent *e) override { e->accept(); }
};

QLineEdit *Lamp(const char *name, QWidget *parent, int x, int y)
{
    auto *lamp = Named(new QLineEdit(parent), name);
    lamp->setReadOnly(true);
    lamp->setFocusPolicy(Qt::NoFocus);
    lamp->setGeometry(x, y, 16, 13);
    return lamp;
}

QCheckBox *Check(const char *name, const QString &text, QWidget *parent, int y)
{
    // The caption stands left of the box, as on the port group's labels.
    auto *box = Named(new QCheckBox(text, parent), name);
    box->setLayoutDirection(Qt::RightToLeft);
    box->setGeometry(6, y, 237, 16);
    box->setEnabled(false);
    return box;
}

}  // namespace

void TForm1::Build_Window()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Vexa    ") + Maker_Text() + QStringLiteral("   "));
    setFocusPolicy(Qt::StrongFocus);
    QFont font;
    font.setFamilies(
        {QStringLiteral("Courier"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(11);
    setFont(font);

    auto *client = new ClientArea(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);

    auto *group = Named(new QGroupBox(QStringLiteral("ПОРТ:"), client), "GroupBox1");
    group->setGeometry(8, 11, 249, 191);
    Build_Port_Group(group);

    Image3 = Named(new QLabel(client), "Image3");
    Image3->setGeometry(262, 16, 90, 185);
    Image3->setPixmap(QPixmap::fromImage(Logo_Picture()));
    Image3->setCursor(Qt::PointingHandCursor);
    Image3->setToolTip(QString::fromLatin1(kMakerAddress));
    Image3->installEventFilter(this);

    Build_Terminal();
    Build_Pages();
    Build_Status_Bar();
    Build_Menus();

    // Buttons and check boxes act on a click and leave the keyboard with the
    // window, so the next typed key still goes to the modem.
    for (QAbstractButton *button : client->findChildren<QAbstractButton *>())
        button->setFocusPolicy(Qt::NoFocus);

    Timer_Cursor = Timer("Timer_Cursor", this, kCursorBlinkMs);

    adjustSize();
    setFixedSize(sizeHint());
    move(196, 156);
}

void TForm1::Build_Port_Group(QWidget *group)
{
    ComboBox1 = Named(new PortPicker(group), "ComboBox1");
    ComboBox1->setGeometry(6, 18, 122, 22);
    ComboBox1->setEditText(QStringLiteral("Выбирете порт"));
    SpeedButton26 = Named(new QPushButton(group), "SpeedButton26");
    SpeedButton26->setGeometry(131, 18, 112, 22);
    SpeedButton26->setEnabled(false);

    Label(QStringLiteral("Скорость:"), group, 6, 48);
    ComboBox2 = Combo("ComboBox2", group, {68, 44, 70, 22});
    Label(QStringLiteral("Биты:"), group, 144, 48);
    ComboBox3 = Combo("ComboBox3", group, {191, 44, 52, 22});
    Label(QStringLiteral("Чётность:"), group, 6, 74);
    ComboBox4 = Combo("ComboBox4", group, {68, 70, 70, 22});
    Label(QStringLiteral("Стоп:"), group, 144, 74);
    ComboBox5 = Combo("ComboBox5", group, {191, 70, 52, 22});
    for (QComboBox *box : {ComboBox2, ComboBox3, ComboBox4, ComboBox5})
        box->setEnabled(false);

    CheckBox1 = Check("CheckBox1", QStringLiteral("Управление потоком CTS/RTS:"), group, 94);
    CheckBox2 = Check("CheckBox2", QStringLiteral("Готовность устройства DTR:"), group, 110);
    CheckBox4 = Check("CheckBox4", QStringLiteral("Сигнал BREAK:"), group, 126);
    // Not a line setting: usable before any port is open, off until ticked.
    CheckBox7 = Check("CheckBox7", QStringLiteral("Занимать порт после переподключения"), group, 142);
    CheckBox7->setEnabled(true);
    QFont narrower = CheckBox7->font();  // the whole caption in the group's width
    narrower.setPixelSize(10);
    CheckBox7->setFont(narrower);

    SpeedButton25 = Named(new QPushButton(QStringLiteral("Переход на 9600"), group), "SpeedButton25");
    SpeedButton25->setGeometry(6, 159, 237, 16);
    SpeedButton25->setEnabled(false);

    const char *const names[] = {"Edit1", "Edit2", "Edit3", "Edit4"};
    const char *const labels[] = {"CTS:", "DSR:", "RING:", "DCD:"};
    QLineEdit **lamps[] = {&Edit1, &Edit2, &Edit3, &Edit4};
    for (int i = 0; i < 4; ++i) {
        Label(QString::fromLatin1(labels[i]), group, 6 + i * 60, 176);
        *lamps[i] = Lamp(names[i], group, 42 + i * 60, 176);
    }

    // The port is made with its group, before the pages that talk through it.
    Timer1 = Timer("Timer1", this, 300);
    Timer_ChangeSpped115200_9600 = Timer("Timer_ChangeSpped115200_9600", this, 500, true);
    Serial = std::make_unique<SerialLink>(
        SerialLink::Controls{
            ComboBox1, SpeedButton26, CheckBox7,
            LineControl::Controls{ComboBox2, ComboBox3, ComboBox4, ComboBox5, CheckBox1, CheckBox2, CheckBox4, Edit1,
                                  Edit2, Edit3, Edit4, SpeedButton25, Timer1, Timer_ChangeSpped115200_9600}},
        *Screen_Console,
        SerialLink::Host{
            [this](const QString &name, bool fromPicker) { setWindowTitle(Port_Caption(name, fromPicker)); },
            [this](int panel, const QString &text) { Set_Status_Panel(panel, text); }, [this] { Clear_Focus(); },
            [this] { return Cursor_X != 0; }, [this] { Show_Sent_Bytes(); }});
}

void TForm1::Build_Terminal()
{
    QWidget *client = centralWidget();
    SpeedButton10 = Named(new QPushButton(QStringLiteral("Очистить"), client), "SpeedButton10");
    SpeedButton10->setGeometry(674, 2, 85, 22);

    // "Start", "Reset" and "Stop" talk to the modem's own software.
    QFont bold = font();
    bold.setBold(true);
    QPalette palette;
    palette.setColor(QPalette::ButtonText, QColor(0x15, 0x64, 0xB5));
    const std::tuple<QPushButton **, const char *, const char *, void (TForm1::*)()> buttons[] = {
        {&SpeedButton_Start, "SpeedButton_Start", "Start", &TForm1::SpeedButton_StartClick},
        {&SpeedButton_Reset, "SpeedButton_Reset", "Reset", &TForm1::SpeedButton_ResetClick},
        {&SpeedButton_Stop, "SpeedButton_Stop", "Stop", &TForm1::SpeedButton_StopClick},
    };
    int x = 363;
    for (const auto &[button, name, caption, handler] : buttons) {
        *button = Named(new QPushButton(QString::fromLatin1(caption), client), name);
        (*button)->setGeometry(x, 2, 56, 22);
        (*button)->setFont(bold);
        (*button)->setPalette(palette);
        connect(*button, &QPushButton::clicked, this, handler);
        x += 56;
    }

    Screen_Image = QImage(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    ScrollBox1 = Named(new QScrollArea(client), "ScrollBox1");
    ScrollBox1->setGeometry(356, 27, 405, 492);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ScrollBox1->verticalScrollBar()->setSingleStep(kLineHeight);
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    Image1 = new ScreenPicture(Screen_Image);
    ScrollBox1->setWidget(Image1);

    // The script runner's progress: lines sent out of lines in the script.
    Gauge1 = Named(new QProgressBar(client), "Gauge1");
    Gauge1->setGeometry(358, 523, 402, 14);
    Gauge1->setTextVisible(false);
    Gauge1->setStyleSheet(
        QStringLiteral("QProgressBar { background: #FFFFE1; border: 1px solid #808080; }"
                       "QProgressBar::chunk { background: #008000; }"));
    Gauge1->hide();
}

void TForm1::Build_Pages()
{
    PageControl1 = Named(new PageControl(centralWidget()), "PageControl1");
    PageControl1->setGeometry(8, 205, 345, 336);
    QStyle *style = QApplication::style();
    // Each page's subsystem builds the page's controls.
    Build_Command_Page(PageControl1->Add_Page(QStringLiteral("TabSheet1"), QStringLiteral("ВВОД КОМАНД"),
                                              style->standardIcon(QStyle::SP_FileDialogDetailedView), 0));
    Build_File_Page(PageControl1->Add_Page(QStringLiteral("TabSheet2"), QStringLiteral("ПЕРЕДАЧА ФАЙЛОВ"),
                                           style->standardIcon(QStyle::SP_ArrowRight), 0));
    Build_Programming_Page(PageControl1->Add_Page(QStringLiteral("TabSheet3"),
                                                  QStringLiteral("ПРОГРАММИРОВАНИЕ МОДЕМА"),
                                                  style->standardIcon(QStyle::SP_DriveHDIcon), 1));
    Build_Test_Page(PageControl1->Add_Page(QStringLiteral("TabSheet4"), QStringLiteral("ТЕСТ"),
                                           style->standardIcon(QStyle::SP_MediaPlay), 1));
}

void TForm1::Build_Status_Bar()
{
    auto *bar = Named(new QStatusBar(this), "StatusBar1");
    bar->setSizeGripEnabled(false);
    setStatusBar(bar);
    const char *const texts[] = {"Порт:", "Параметры порта:", "Управление потоком:", "Процесс:", "Время:"};
    // Linux port names are longer than "COM3": the port panel gets more room,
    // in a smaller face so that all five fit the window.
    const int widths[] = {110, 100, 180, 200, 100};
    QFont font = bar->font();
    font.setPixelSize(10);
    bar->setFont(font);
    for (int i = 0; i < 5; ++i) {
        statusPanels_[i] = new QLabel;
        statusPanels_[i]->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i));
        statusPanels_[i]->setMinimumWidth(widths[i]);
        statusPanels_[i]->setFrameShape(QFrame::Panel);
        statusPanels_[i]->setFrameShadow(QFrame::Sunken);
        bar->addWidget(statusPanels_[i], i == 4 ? 1 : 0);
    }
    // The port panel keeps its width whatever the name (see Set_Status_Panel).
    statusPanels_[0]->setFixedWidth(widths[0]);
    for (int i = 0; i < 5; ++i)
        Set_Status_Panel(i, QString::fromUtf8(texts[i]));
}

void TForm1::Build_Menus()
{
    auto *menu = Named(new QMenuBar(this), "MainMenu1");
    setMenuBar(menu);
    auto item = [this](QMenu *into, const char *name, const QString &caption, void (TForm1::*handler)()) {
        QAction *action = into->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu *about = Named(menu->addMenu(QStringLiteral("О программе")), "N1");
    item(about, "N2", QStringLiteral("Назначение "), &TForm1::N2Click);
    item(about, "N3", QStringLiteral("Об авторе"), &TForm1::N3Click);
    QMenu *help = Named(menu->addMenu(QStringLiteral("Помощь")), "N4");
    item(help, "COM1", QStringLiteral("Настройки COM порта"), &TForm1::COM1Click);
    item(help, "N5", QStringLiteral("Ввод AT команд"), &TForm1::N5Click);
    item(help, "N6", QStringLiteral("Работа со списком AT команд"), &TForm1::N6Click);
    item(help, "AT1", QStringLiteral("Работа со скриптами AT команд"), &TForm1::AT1Click);
    item(help, "N7", QStringLiteral("Передача файла"), &TForm1::N7Click);
    item(help, "N9", QStringLiteral("Программирование модема(Xmodem)"), &TForm1::N9Click);
    item(help, "N8", QStringLiteral("Журналы"), &TForm1::N8Click);
    QAction *exit = menu->addAction(QStringLiteral("Выход Alt+X"));
    exit->setObjectName(QStringLiteral("AltX1"));
    exit->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    exit->setShortcutContext(Qt::WindowShortcut);
    addAction(exit);
    connect(exit, &QAction::triggered, this, &TForm1::AltX1Click);

    PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
    item(PopupMenu1, "ASCII1", QStringLiteral("Отображать выводимую информацию в ASCII кодах"), &TForm1::ASCII1Click);
    item(PopupMenu1, "AltX2", QStringLiteral("Выход Alt+X"), &TForm1::AltX2Click);
}
